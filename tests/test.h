// Helpers shared by the tests: a scoped temporary folder and whole-file
// reads.

#ifndef TRB2CSV_TESTS_TEST_H_
#define TRB2CSV_TESTS_TEST_H_

#include <string>

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

#endif  // TRB2CSV_TESTS_TEST_H_
