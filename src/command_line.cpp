#include "command_line.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ascii.h"

namespace {

bool IsQuietOption(const char* argument) {
  const char kOption[] = "-quiet";
  return std::strlen(argument) == sizeof kOption - 1 &&
         MatchesIgnoringCase(argument, kOption, sizeof kOption - 1);
}

// "/?" is the Windows way of asking; the others are the usual ones.
bool IsHelpOption(const char* argument) {
  const char* const kOptions[] = {"-h", "-?", "--help", "/?"};
  return std::any_of(std::begin(kOptions), std::end(kOptions),
                     [argument](const char* option) { return std::strcmp(argument, option) == 0; });
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, TrackFileTest names_track_file) {
  CommandLine line = {Action::kConvert, false, nullptr, false, argc};
  if (argc == 2 && IsHelpOption(argv[1])) {
    line.action = Action::kHelp;
  } else if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    line.action = Action::kVersion;
  } else if (argc >= 2 && IsQuietOption(argv[1])) {
    line.quiet = true;
    line.first_ignored = 2;
  } else if (argc >= 2 && std::all_of(argv + 1, argv + argc, names_track_file)) {
    line.action = Action::kConvertTrackFiles;
  } else if (argc == 2 && argv[1][0] == '-') {
    line.action = Action::kUnknownOption;
  } else if (argc == 2 && argv[1][0] != '\0') {
    line.name_too_long = std::strlen(argv[1]) > static_cast<std::size_t>(kMaxNameLength);
    line.output_name = line.name_too_long ? nullptr : argv[1];
  } else if (argc > 2) {
    line.first_ignored = 1;
  }
  return line;
}
