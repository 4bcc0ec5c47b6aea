#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The track files that exist here.
bool NamesTrackFile(const char* name) {
  const std::string track(name);
  return track == "a.trb" || track == "B.TRB" || track == "link to a track";
}

TEST(CommandLine, ArgumentsToWhatToDo) {
  const std::string kLong(kMaxNameLength + 1, 'x');
  const std::string kLongest(kMaxNameLength, 'x');
  const struct {
    std::vector<const char*> arguments;
    Action action;
    bool quiet;
    const char* output_name;  // "" for none
    bool name_too_long;
    int first_ignored;  // 0: none ignored
  } kCases[] = {
      {{}, Action::kConvert, false, "", false, 0},
      {{"out.csv"}, Action::kConvert, false, "out.csv", false, 0},
      {{"./-x.csv"}, Action::kConvert, false, "./-x.csv", false, 0},
      {{""}, Action::kConvert, false, "", false, 0},
      {{"-quiet"}, Action::kConvert, true, "", false, 0},
      {{"-QuIeT"}, Action::kConvert, true, "", false, 0},
      {{"-quiet", "out.csv"}, Action::kConvert, true, "", false, 2},
      {{"-quiet", "a.trb"}, Action::kConvert, true, "", false, 2},
      {{"out.csv", "-quiet"}, Action::kConvert, false, "", false, 1},
      {{"one.csv", "two.csv"}, Action::kConvert, false, "", false, 1},
      {{"", ""}, Action::kConvert, false, "", false, 1},
      {{"a.trb"}, Action::kConvertTrackFiles, false, "", false, 0},
      {{"link to a track"}, Action::kConvertTrackFiles, false, "", false, 0},
      {{"a.trb", "B.TRB", "a.trb"}, Action::kConvertTrackFiles, false, "", false, 0},
      {{"a.trb", "out.csv"}, Action::kConvert, false, "", false, 1},
      {{"missing.trb"}, Action::kConvert, false, "missing.trb", false, 0},
      {{kLongest.c_str()}, Action::kConvert, false, kLongest.c_str(), false, 0},
      {{kLong.c_str()}, Action::kConvert, false, "", true, 0},
      {{"-h"}, Action::kHelp, false, "", false, 0},
      {{"-?"}, Action::kHelp, false, "", false, 0},
      {{"/?"}, Action::kHelp, false, "", false, 0},
      {{"--help"}, Action::kHelp, false, "", false, 0},
      {{"--version"}, Action::kVersion, false, "", false, 0},
      {{"--help", "x"}, Action::kConvert, false, "", false, 1},
      {{"--quiet"}, Action::kUnknownOption, false, "", false, 0},
      {{"-quietly"}, Action::kUnknownOption, false, "", false, 0},
      {{"-"}, Action::kUnknownOption, false, "", false, 0},
      {{"-v"}, Action::kUnknownOption, false, "", false, 0},
  };
  for (const auto& c : kCases) {
    std::vector<const char*> argv = {"trb2csv"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    const int argc = static_cast<int>(argv.size());
    const CommandLine line = ParseCommandLine(argc, argv.data(), NamesTrackFile);
    const std::string words = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(line.action, c.action) << words;
    EXPECT_EQ(line.quiet, c.quiet) << words;
    EXPECT_STREQ(line.output_name ? line.output_name : "", c.output_name) << words;
    EXPECT_EQ(line.name_too_long, c.name_too_long) << words;
    EXPECT_EQ(line.first_ignored, c.first_ignored == 0 ? argc : c.first_ignored) << words;
  }
}

}  // namespace
