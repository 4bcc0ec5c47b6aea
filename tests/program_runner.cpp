#include "program_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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
  if (pipe(console) != 0) throw std::runtime_error("cannot create a pipe");
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    setsid();  // no controlling terminal: /dev/tty cannot be opened
    int no_input = open("/dev/null", O_RDONLY);
    if (no_input < 0 || dup2(no_input, 0) < 0 || dup2(console[1], 1) < 0 ||
        chdir(folder.c_str()) != 0) {
      _exit(127);
    }
    close(console[0]);
    close(console[1]);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(console[1]);
  RunResult result = {-1, ""};
  char chunk[4096];
  ssize_t got;
  while ((got = read(console[0], chunk, sizeof chunk)) > 0) result.console.append(chunk, got);
  close(console[0]);
  int status;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  }
  return result;
}
