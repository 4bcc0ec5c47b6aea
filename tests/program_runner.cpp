#include "program_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

RunResult RunTrb2csv(const std::string& folder, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& prefix) {
  const char* program = std::getenv("TRB2CSV_PROGRAM");
  if (!program) throw std::runtime_error("TRB2CSV_PROGRAM is not set");
  std::vector<std::string> command = prefix;
  // The launcher's words are separated by blanks.
  const char* launcher_words = std::getenv("TRB2CSV_LAUNCHER");
  std::istringstream launcher(launcher_words ? launcher_words : "");
  for (std::string word; launcher >> word;) command.push_back(word);
  command.push_back(std::filesystem::absolute(program).string());
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  int console[2];
  int errors[2];
  if (pipe(console) != 0 || pipe(errors) != 0) throw std::runtime_error("cannot create a pipe");
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    setsid();  // no controlling terminal: /dev/tty cannot be opened
    int no_input = open("/dev/null", O_RDONLY);
    if (no_input < 0 || dup2(no_input, 0) < 0 || dup2(console[1], 1) < 0 ||
        dup2(errors[1], 2) < 0 || chdir(folder.c_str()) != 0) {
      _exit(127);
    }
    for (int end : {console[0], console[1], errors[0], errors[1]}) close(end);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(console[1]);
  close(errors[1]);
  RunResult result = {-1, "", ""};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(kRunTimeLimitSeconds);
  const auto milliseconds_left = [&deadline] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
  };
  // Both texts until the program and all it started let go of them, then
  // the exit; the child leads a process group of its own (setsid).
  bool hung = false;
  pollfd ready[2] = {{console[0], POLLIN, 0}, {errors[0], POLLIN, 0}};
  std::string* texts[2] = {&result.console, &result.errors};
  for (char chunk[4096]; ready[0].fd >= 0 || ready[1].fd >= 0;) {
    const int polled = poll(ready, 2, milliseconds_left());
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) {
      hung = true;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (ready[i].revents == 0) continue;
      const ssize_t got = read(ready[i].fd, chunk, sizeof chunk);
      if (got <= 0) {
        ready[i].fd = -1;  // poll passes over it from now on
      } else {
        texts[i]->append(chunk, static_cast<std::size_t>(got));
      }
    }
  }
  int status = 0;
  while (!hung && waitpid(child, &status, WNOHANG) == 0) {
    hung = milliseconds_left() == 0;
    if (!hung) poll(nullptr, 0, 10);
  }
  if (hung) {
    kill(-child, SIGKILL);
    std::string words;
    for (const std::string& word : command) words += " " + word;
    ADD_FAILURE() << "hung:" << words << " did not end within " << kRunTimeLimitSeconds << " s";
    waitpid(child, &status, 0);
    status = -1;
  }
  close(console[0]);
  close(errors[0]);
  if (status >= 0 && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}
