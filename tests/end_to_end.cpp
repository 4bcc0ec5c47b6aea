#include "end_to_end.h"

#include <unistd.h>

#include <cstdlib>

bool TestingWindowsProgram() {
  const char* target = std::getenv("TRB2CSV_TARGET");
  return target && std::string(target) == "windows";
}

std::string Console(const std::string& text) {
  if (!TestingWindowsProgram()) return text;
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

std::vector<std::string> Unprivileged() {
  if (geteuid() != 0) return {};
  return {"setpriv", "--bounding-set=-all", "--inh-caps=-all", "--"};
}

std::string Summary(const std::string& output, int records, const std::string& input) {
  return input + " --> " + output + " : " + std::to_string(records) + " Trackpoints\n";
}

std::vector<std::string> Script(const std::string& name, const std::vector<std::string>& words) {
  std::vector<std::string> prefix = {"bash", TRB2CSV_TEST_SCRIPTS "/" + name + ".sh"};
  prefix.insert(prefix.end(), words.begin(), words.end());
  return prefix;
}

int LoopRounds(int few, int full) {
  const char* soak = std::getenv("TRB2CSV_SOAK");
  return soak && std::string(soak) == "1" ? full : few;
}
