#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The names that lead to a track file through links, here.
bool LeadsToTrackFile(const char* name) { return std::string(name) == "link to a track"; }

TEST(CommandLine, ArgumentsToWhatToDo) {
  const std::string kLong(kMaxNameLength + 1, 'x');
  const std::string kLongest(kMaxNameLength, 'x');
  const Action kTracks = Action::kConvertTrackFiles;
  const struct {
    std::vector<const char*> arguments;
    Action action;
    bool quiet;
    const char* output_name;  // "" for none
    bool name_too_long;
    int first_ignored;  // 0: none ignored
    int first_track;    // 0: no track files (argc)
  } kCases[] = {
      {{}, Action::kConvert, false, "", false, 0, 0},
      {{"out.csv"}, Action::kConvert, false, "out.csv", false, 0, 0},
      {{"./-x.csv"}, Action::kConvert, false, "./-x.csv", false, 0, 0},
      {{""}, Action::kConvert, false, "", false, 0, 0},
      {{"-quiet"}, Action::kConvert, true, "", false, 0, 0},
      {{"-QuIeT"}, Action::kConvert, true, "", false, 0, 0},
      {{"-quiet", "out.csv"}, Action::kConvert, true, "", false, 2, 0},
      {{"out.csv", "-quiet"}, Action::kConvert, false, "", false, 1, 0},
      {{"one.csv", "two.csv"}, Action::kConvert, false, "", false, 1, 0},
      {{"", ""}, Action::kConvert, false, "", false, 1, 0},
      // Any argument that names a track file makes a run of track files.
      {{"a.trb"}, kTracks, false, "", false, 0, 1},
      {{"missing.TRB"}, kTracks, false, "", false, 0, 1},
      {{"link to a track"}, kTracks, false, "", false, 0, 1},
      {{"a.trb", "B.TRB", "a.trb"}, kTracks, false, "", false, 0, 1},
      {{"a.trb", "notes.txt"}, kTracks, false, "", false, 0, 1},
      {{"my hike.gpx", "link to a track"}, kTracks, false, "", false, 0, 1},
      {{"-quiet", "a.trb", "b.trb"}, kTracks, true, "", false, 0, 2},
      {{"-QUIET", "notes.txt", "b.trb"}, kTracks, true, "", false, 0, 2},
      {{"a.trb", "-quiet"}, kTracks, false, "", false, 0, 1},
      {{"-quiet", "-quiet.trb"}, kTracks, true, "", false, 0, 2},
      {{"a.trb.csv"}, Action::kConvert, false, "a.trb.csv", false, 0, 0},
      {{kLongest.c_str()}, Action::kConvert, false, kLongest.c_str(), false, 0, 0},
      {{kLong.c_str()}, Action::kConvert, false, "", true, 0, 0},
      {{"-h"}, Action::kHelp, false, "", false, 0, 0},
      {{"-?"}, Action::kHelp, false, "", false, 0, 0},
      {{"/?"}, Action::kHelp, false, "", false, 0, 0},
      {{"--help"}, Action::kHelp, false, "", false, 0, 0},
      {{"--version"}, Action::kVersion, false, "", false, 0, 0},
      {{"--help", "x"}, Action::kConvert, false, "", false, 1, 0},
      {{"--quiet"}, Action::kUnknownOption, false, "", false, 0, 0},
      {{"-quietly"}, Action::kUnknownOption, false, "", false, 0, 0},
      {{"-"}, Action::kUnknownOption, false, "", false, 0, 0},
      {{"-v"}, Action::kUnknownOption, false, "", false, 0, 0},
  };
  for (const auto& c : kCases) {
    std::vector<const char*> argv = {"trb2csv"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    const int argc = static_cast<int>(argv.size());
    const CommandLine line = ParseCommandLine(argc, argv.data(), LeadsToTrackFile);
    std::string words = "(none)";
    if (!c.arguments.empty()) words = std::string(c.arguments[0]) + " ...";
    EXPECT_EQ(line.action, c.action) << words;
    EXPECT_EQ(line.quiet, c.quiet) << words;
    EXPECT_STREQ(line.output_name ? line.output_name : "", c.output_name) << words;
    EXPECT_EQ(line.name_too_long, c.name_too_long) << words;
    EXPECT_EQ(line.first_ignored, c.first_ignored == 0 ? argc : c.first_ignored) << words;
    EXPECT_EQ(line.first_track_argument, c.first_track == 0 ? argc : c.first_track) << words;
  }
}

TEST(CommandLine, TrackFilesAreNamedAsSuchOrReachedByLinks) {
  for (const char* name : {"a.trb", "A.TRB", "x/y.tRb", "link to a track"}) {
    EXPECT_TRUE(NamesTrackFile(name, LeadsToTrackFile)) << name;
  }
  for (const char* name : {"a.csv", "a.trb.bak", "my hike.gpx", "-quiet", ""}) {
    EXPECT_FALSE(NamesTrackFile(name, LeadsToTrackFile)) << name;
  }
}

// Explorer starts a program inside a zip file from a folder of that name.
TEST(CommandLine, FoldersInsideAZipFile) {
  for (const char* path : {"C:\\Users\\me\\AppData\\Local\\Temp\\Temp1_trb2csv-1.0.0-win64.zip"
                           "\\trb2csv-1.0.0-win64",
                           "C:\\Temp\\Tracks.ZIP", "/tmp/a.zip/b"}) {
    EXPECT_TRUE(IsInsideZipFolder(path)) << path;
  }
  for (const char* path :
       {"C:\\Tracks", "/home/me/zip", "/home/me/a.zip.d", "/tmp/x.zipper/y", ""}) {
    EXPECT_FALSE(IsInsideZipFolder(path)) << path;
  }
}

}  // namespace
