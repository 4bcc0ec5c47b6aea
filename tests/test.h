// Helpers shared by the tests: a scoped temporary folder, whole-file reads
// and a runner of the real program.

#ifndef TRB2CSV_TESTS_TEST_H_
#define TRB2CSV_TESTS_TEST_H_

#include <string>
#include <vector>

// A fresh folder below the system's temporary folder, removed with all it
// holds when the object goes, also when an assertion has failed.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

bool FileExists(const std::string& path);

// The whole content of a file; empty if it cannot be read.
std::string ReadFileBytes(const std::string& path);

struct RunResult {
  int exit_status;      // -1 if the program did not exit normally
  std::string console;  // all it wrote to standard output
};

// Runs the program under test in folder with the given arguments, with
// standard input from /dev/null and no controlling terminal, so that its key
// waits end at once. The program is named by TRB2CSV_PROGRAM and started
// through TRB2CSV_LAUNCHER when that is set (an emulator, for instance).
RunResult RunTrb2csv(const std::string& folder, const std::vector<std::string>& arguments);

#endif  // TRB2CSV_TESTS_TEST_H_
