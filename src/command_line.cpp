#include "command_line.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ascii.h"
#include "output_guard.h"

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

bool NamesTrackFile(const char* argument, TrackFileTest leads_to_track_file) {
  return IsTrackTailName(argument) || leads_to_track_file(argument);
}

CommandLine ParseCommandLine(int argc, const char* const* argv, TrackFileTest leads_to_track_file) {
  CommandLine line = {Action::kConvert, false, nullptr, false, argc, argc};
  const bool quiet = argc >= 2 && IsQuietOption(argv[1]);
  const int first = quiet ? 2 : 1;
  const auto names_track_file = [leads_to_track_file](const char* argument) {
    return NamesTrackFile(argument, leads_to_track_file);
  };
  if (argc == 2 && IsHelpOption(argv[1])) {
    line.action = Action::kHelp;
  } else if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    line.action = Action::kVersion;
  } else if (std::any_of(argv + first, argv + argc, names_track_file)) {
    line.action = Action::kConvertTrackFiles;
    line.quiet = quiet;
    line.first_track_argument = first;
  } else if (quiet) {
    line.quiet = true;
    line.first_ignored = 2;
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

bool IsInsideZipFolder(const char* path) {
  const char kExtension[] = ".zip";
  const std::size_t kLength = sizeof kExtension - 1;
  for (const char* end = path; *end != '\0'; ++end) {
    const bool folder_ends = end[1] == '/' || end[1] == '\\' || end[1] == '\0';
    if (folder_ends && static_cast<std::size_t>(end + 1 - path) >= kLength &&
        MatchesIgnoringCase(end + 1 - kLength, kExtension, kLength)) {
      return true;
    }
  }
  return false;
}
