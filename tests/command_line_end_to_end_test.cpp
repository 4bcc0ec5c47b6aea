// The real trb2csv for each thing its command line asks for (the rules of
// the command line are the unit table's, command_line_test.cpp).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "end_to_end.h"
#include "version.h"

namespace {

class CommandLine : public TrackTail {
 protected:
  void SetUp() override { WriteInput(1, TrackBody({{1.0, 2.0}})); }
  static constexpr char kLine[] = "1.000000 , 2.000000 , \"1\"\r\n";
};

TEST_F(CommandLine, QuietPrintsNothingAndDoesNotWait) {
  RunResult result = Run({"-QuIeT"});
  EXPECT_EQ(result.console, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Csv(), kLine);
}

// Each as the C library of each platform hands it over ("-?" is no pattern
// of file names to expand).
TEST_F(CommandLine, HelpAndVersionReadAndWriteNothing) {
  for (std::string option : {"-h", "-?", "--help", "/?", "--version"}) {
    RunResult result = Run({option});
    const std::string expected_start =
        option == "--version" ? Console("trb2csv " TRB2CSV_VERSION "\n") : "Usage: trb2csv";
    EXPECT_EQ(result.console.substr(0, expected_start.size()), expected_start) << option;
    EXPECT_EQ(result.console.find("Press any key"), std::string::npos) << option;
    EXPECT_EQ(result.exit_status, 0) << option;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1)
      << "only the track file";
}

TEST_F(CommandLine, SingleArgumentNamesTheOutput) {
  for (std::string name : {"with blank.csv", "./-quietly"}) {
    RunResult result = Run({name});
    EXPECT_EQ(result.console, Console(kBanner + Summary(name, 1) + kPrompt)) << name;
    EXPECT_EQ(result.errors, "") << name;
    EXPECT_EQ(Csv(name), kLine) << name;
  }
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
}

// An option that trb2csv does not know is not taken for a file to write.
TEST_F(CommandLine, UnknownOptionsAreRefusedAndTouchNothing) {
  for (std::string option : {"--quiet", "-"}) {
    RunResult result = Run({option});
    EXPECT_EQ(result.console, "") << option;
    EXPECT_EQ(result.exit_status, 2) << option;
    EXPECT_EQ(result.errors.rfind(Console("trb2csv: " + option + ": unknown option\nUsage: "), 0),
              0u)
        << result.errors;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1)
      << "only the track file";
}

TEST_F(CommandLine, OtherArgumentListsGiveTheDefaults) {
  struct Case {
    std::vector<std::string> arguments;
    bool quiet;
    std::string ignored;  // as standard error names them
  } cases[] = {
      {{"-quiet", "out.csv"}, true, "out.csv"},
      {{"out.csv", "-quiet"}, false, "out.csv -quiet"},
      {{""}, false, ""},
  };
  for (const Case& c : cases) {
    unlink(dir_.File(kDefaultOutput).c_str());
    RunResult result = Run(c.arguments);
    std::string loud = Console(kBanner + Summary(kDefaultOutput, 1) + kPrompt);
    EXPECT_EQ(result.console, c.quiet ? "" : loud) << c.arguments[0];
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(Csv(), kLine);
    if (c.arguments.size() > 1) {
      EXPECT_EQ(result.errors.rfind(Console("trb2csv: " + c.ignored + ": ignored; "), 0), 0u)
          << result.errors;
    } else {
      EXPECT_EQ(result.errors, "");
    }
  }
  EXPECT_FALSE(FileExists(dir_.File("out.csv")));
}

TEST_F(CommandLine, OverlongOutputNameIsRefusedNotCut) {
  std::string longest(253, 'n');
  EXPECT_EQ(Run({longest}).exit_status, 0);
  EXPECT_EQ(Csv(longest), kLine);

  std::string too_long(254, 'x');
  RunResult result = Run({too_long});
  EXPECT_EQ(
      result.console,
      Console(kBanner + std::string("Output name is longer than 253 characters!\n") + kPrompt));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.errors.find(": 254 bytes, more than 253"), std::string::npos) << result.errors;
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
  EXPECT_FALSE(FileExists(dir_.File(too_long.substr(0, 253))));
}

// A track file named, or several (as a drop of them on trb2csv.exe gives
// them), is converted beside itself: its name with .csv, with the messages
// and summary of each, and one key wait at the end.
TEST_F(TrackTail, TrackFilesNamedAreConvertedBesideThemselves) {
  const std::string other = TrackTailFile(1, TrackBody({{1.0, 2.0}}));
  const std::string kOtherLine = "1.000000 , 2.000000 , \"1\"\r\n";
  WriteInput(5, TrackBody(kFivePoints));
  ASSERT_EQ(mkdir(dir_.File("From Device").c_str(), 0755), 0);
  for (const char* name :
       {"2009-05-18 Alster.trb", "From Device/ceTrackTail.trb", "трек.TRB", "mytrack.trb"}) {
    ASSERT_TRUE(WriteFileBytes(dir_.File(name), other));
  }
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> csv_files;  // as the summaries name them
    std::string csv;                     // what each holds
  };
  std::vector<Case> cases = {
      {{"2009-05-18 Alster.trb"}, {"2009-05-18 Alster.csv"}, kOtherLine},
      {{"ceTrackTail.trb"}, {"ceTrackTail.csv"}, kFivePointLines},
      {{"./ceTrackTail.trb"}, {"./ceTrackTail.csv"}, kFivePointLines},
      {{"трек.TRB"}, {"трек.csv"}, kOtherLine},
      {{dir_.File("From Device/ceTrackTail.trb")},
       {dir_.File("From Device/ceTrackTail.csv")},
       kOtherLine},
      {{"mytrack.trb", "From Device/ceTrackTail.trb", "2009-05-18 Alster.trb"},
       {"mytrack.csv", "From Device/ceTrackTail.csv", "2009-05-18 Alster.csv"},
       kOtherLine},
  };
  // A path as Windows has it (a drop gives the full path), for the files here.
  const auto windows_path = [this](const std::string& name) {
    std::string path = "Z:" + dir_.File(name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  };
  if (TestingWindowsProgram()) {
    cases.push_back({{windows_path("2009-05-18 Alster.trb"), windows_path("трек.TRB")},
                     {windows_path("2009-05-18 Alster.csv"), windows_path("трек.csv")},
                     kOtherLine});
    cases.push_back({{"mytrack.trb."}, {windows_path("mytrack.csv")}, kOtherLine});
  } else {
    ASSERT_EQ(symlink("mytrack.trb", dir_.File("latest.csv").c_str()), 0);
    ASSERT_EQ(symlink("latest.csv", dir_.File("link to link").c_str()), 0);
    cases.push_back({{"latest.csv"}, {"mytrack.csv"}, kOtherLine});
    cases.push_back({{"link to link"}, {"mytrack.csv"}, kOtherLine});
  }
  // The file a name in a summary reaches, from here.
  const auto file = [this](std::string name) {
    if (name.rfind("Z:", 0) == 0) {
      name.erase(0, 2);
      std::replace(name.begin(), name.end(), '\\', '/');
    }
    return name[0] == '/' ? name : dir_.File(name);
  };
  for (const Case& c : cases) {
    std::string expected = kBanner;
    for (std::size_t i = 0; i < c.names.size(); ++i) {
      unlink(file(c.csv_files[i]).c_str());
      expected += Summary(c.csv_files[i], c.csv == kOtherLine ? 1 : 5, c.names[i]);
    }
    RunResult result = Run(c.names);
    EXPECT_EQ(result.console, Console(expected + kPrompt)) << c.names[0];
    EXPECT_EQ(result.exit_status, 0) << c.names[0];
    EXPECT_EQ(result.errors, "") << c.names[0];
    for (const std::string& csv : c.csv_files) EXPECT_EQ(ReadFileBytes(file(csv)), c.csv) << csv;
  }
  EXPECT_EQ(ReadFileBytes(dir_.File("mytrack.trb")), other);
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));

  // Every track file named is taken, existing or not, and nothing else: a
  // word that names none is left alone; a CSV file is written once; the
  // same track file named twice is converted once.
  ASSERT_TRUE(WriteFileBytes(dir_.File("notes.txt"), "notes\n"));
  ASSERT_TRUE(WriteFileBytes(dir_.File("other.TRB"), TrackTailFile(5, TrackBody(kFivePoints))));
  const std::string kNotOpened = " could not opened!\n";
  std::string here = dir_.path();
  if (TestingWindowsProgram()) {
    here = "Z:" + here;
    std::replace(here.begin(), here.end(), '/', '\\');
  }
  const struct {
    std::vector<std::string> names;
    std::string console;
    std::string errors;
    int status;
  } kMixed[] = {
      {{"mytrack.trb", "missing.trb"},
       Summary("mytrack.csv", 1, "mytrack.trb") + "missing.trb" + kNotOpened,
       "trb2csv: missing.trb: No such file or directory, in " + here +
           "\ntrb2csv: missing.trb: not converted\n"
           "trb2csv: 1 of the 2 track files were not converted\n",
       1},
      {{"mytrack.trb", "notes.txt"},
       Summary("mytrack.csv", 1, "mytrack.trb"),
       "trb2csv: notes.txt: left alone: it names no track file (TRACK.trb)\n",
       1},
      {{"mytrack.trb", "./mytrack.trb"},
       Summary("mytrack.csv", 1, "mytrack.trb"),
       "trb2csv: ./mytrack.trb: the same track file as mytrack.trb, converted once\n",
       0},
      {{"mytrack.trb", "big.trb"},
       Summary("mytrack.csv", 1, "mytrack.trb") +
           "**** ceTrackTail too big to read into memory buffer: 65535\n" + kPrompt +
           Summary("big.csv", 1365, "big.trb"),
       "trb2csv: big.trb: converted in part: it holds more than its first 1365 whole records, "
       "which alone were converted\ntrb2csv: 1 of the 2 track files were converted in part\n",
       1},
      {{"mytrack.trb", "mytrack.TRB"},
       Summary("mytrack.csv", 1, "mytrack.trb") + "mytrack.csv could not opend!\n" +
           Summary("mytrack.csv", 0, "mytrack.TRB"),
       "trb2csv: mytrack.csv: this run wrote it already, for mytrack.trb, and does not replace "
       "it with the CSV lines of mytrack.TRB\ntrb2csv: mytrack.TRB: not converted\n"
       "trb2csv: 1 of the 2 track files were not converted\n",
       1},
  };
  ASSERT_EQ(rename(dir_.File("other.TRB").c_str(), dir_.File("mytrack.TRB").c_str()), 0);
  // More whole records than the load limit takes: converted in part.
  ASSERT_TRUE(WriteFileBytes(
      dir_.File("big.trb"), TrackTailFile(1366, TrackBody(std::vector<TrackPoint>(1366, {1, 2})))));
  for (const auto& c : kMixed) {
    if (TestingWindowsProgram() && c.names[1] == "mytrack.TRB") continue;  // one file there
    unlink(dir_.File("mytrack.csv").c_str());
    RunResult mixed = Run(c.names);
    EXPECT_EQ(mixed.console, Console(kBanner + c.console + kPrompt)) << c.names[1];
    EXPECT_EQ(mixed.errors, Console(c.errors)) << c.names[1];
    EXPECT_EQ(mixed.exit_status, c.status) << c.names[1];
    EXPECT_EQ(ReadFileBytes(dir_.File("mytrack.csv")), kOtherLine) << c.names[1];
  }
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
  EXPECT_FALSE(FileExists(dir_.File("missing.trb")));
  EXPECT_EQ(ReadFileBytes(dir_.File("notes.txt")), "notes\n");
  RunResult quiet = Run({"-quiet", "mytrack.trb", "From Device/ceTrackTail.trb"});
  EXPECT_EQ(quiet.console, "");
  EXPECT_EQ(quiet.exit_status, 0);

  if (TestingWindowsProgram()) return;  // POSIX permissions
  // One in a folder that cannot be written: said, and the others converted.
  ASSERT_EQ(mkdir(dir_.File("locked").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFileBytes(dir_.File("locked/t.trb"), other));
  ASSERT_EQ(chmod(dir_.File("locked").c_str(), 0555), 0);
  unlink(dir_.File("mytrack.csv").c_str());
  RunResult locked = Run({"locked/t.trb", "mytrack.trb"}, Unprivileged());
  EXPECT_EQ(locked.console, kBanner + std::string("locked/t.csv could not opend!\n") +
                                Summary("locked/t.csv", 0, "locked/t.trb") +
                                Summary("mytrack.csv", 1, "mytrack.trb") + kPrompt);
  EXPECT_EQ(locked.exit_status, 1);
  EXPECT_EQ(locked.errors,
            "trb2csv: locked/t.csv: Permission denied\n"
            "trb2csv: locked/t.trb: not converted\n"
            "trb2csv: 1 of the 2 track files were not converted\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("mytrack.csv")), kOtherLine);
  chmod(dir_.File("locked").c_str(), 0755);
}

}  // namespace
