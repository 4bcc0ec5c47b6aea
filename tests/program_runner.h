// Runs the program under test as a separate process.

#ifndef TRB2CSV_TESTS_PROGRAM_RUNNER_H_
#define TRB2CSV_TESTS_PROGRAM_RUNNER_H_

#include <string>
#include <vector>

struct RunResult {
  int exit_status;      // -1 if the program did not exit normally
  std::string console;  // all it wrote to standard output
  std::string errors;   // all it wrote to standard error
};

// Runs the program under test in folder with the given arguments, with
// standard input from /dev/null and no controlling terminal, so that its key
// waits end at once. The program is named by TRB2CSV_PROGRAM and started
// through the blank-separated words of TRB2CSV_LAUNCHER when that is set
// (Wine for a Windows program, qemu-user for another processor), itself
// behind the words of prefix, if any (a loss of privileges, say). A run that
// has not ended within kRunTimeLimitSeconds is killed, with everything it
// started, and the test fails as "hung".
constexpr int kRunTimeLimitSeconds = 20;
RunResult RunTrb2csv(const std::string& folder, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& prefix = {});

#endif  // TRB2CSV_TESTS_PROGRAM_RUNNER_H_
