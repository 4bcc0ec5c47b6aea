// The real trb2csv and the files it must not write over, the files that
// cannot be written, and other runs writing the same file.

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

namespace {

TEST_F(TrackTail, OutputThatCannotBeOpenedStillGetsASummary) {
  WriteInput(5, TrackBody(kFivePoints));
  RunResult result = Run({"no/such/folder.csv"});
  EXPECT_EQ(result.console, Console(kBanner + std::string("no/such/folder.csv could not opend!\n") +
                                    Summary("no/such/folder.csv", 0) + kPrompt));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.errors.find("trb2csv: no/such/folder.csv: "), std::string::npos);
}

TEST_F(TrackTail, WriteFailureIsReportedWithoutSummary) {
  WriteInput(5, TrackBody(kFivePoints));
  RunResult result = Run({"/dev/full"});
  EXPECT_EQ(result.console,
            Console(kBanner + std::string("/dev/full could not be written!\n") + kPrompt));
  EXPECT_EQ(result.exit_status, 1);
}

// The input under another name, a track-tail file through a link, a file
// that is not text and one that is no CSV file are refused as outputs;
// nothing is created or changed (one row for each verdict: the ways to each
// are the guard's unit table). Windows has ways of its own.
TEST_F(TrackTail, TrackFilesAreNeverOverwritten) {
  const std::string input = TrackTailFile(5, TrackBody(kFivePoints));
  const std::string other = TrackTailFile(1, TrackBody({{1.0, 2.0}}));
  ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), input));
  ASSERT_EQ(link(dir_.File("ceTrackTail.trb").c_str(), dir_.File("hard.csv").c_str()), 0);
  ASSERT_EQ(mkdir(dir_.File("From Device").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFileBytes(dir_.File("mytrack.trb"), other));
  ASSERT_TRUE(WriteFileBytes(dir_.File("From Device/ceTrackTail.trb"), other));
  ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb.bak"), other));
  ASSERT_EQ(symlink("new.trb", dir_.File("dangling.csv").c_str()), 0);
  const char kInput[] = " is the input file and is not overwritten!\n";
  const char kTrackTail[] = " is a track-tail file and is not overwritten!\n";
  const char kNotText[] = " is not a text file and is not overwritten!\n";
  const char kNotCsv[] = " is not a CSV file and is not overwritten!\n";
  const std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"></gpx>\n";
  ASSERT_TRUE(WriteFileBytes(dir_.File("my hike.gpx"), gpx));
  const char kNotOpened[] = " could not opend!\n";
  const std::vector<std::string> kPlain;
  std::string drive_y;
  const std::unique_ptr<const std::string, void (*)(const std::string*)> remove_drive(
      &drive_y, [](const std::string* drive) { unlink(drive->c_str()); });
  struct Refusal {
    std::string name;
    const char* reason;
    std::vector<std::string> prefix;
  };
  // A name of an existing track file converts it (the next test); these
  // reach one by other names, or name a track file that does not exist.
  std::vector<Refusal> refusals = {{"hard.csv", kInput, kPlain},
                                   {"my hike.gpx", kNotCsv, kPlain},
                                   {"ceTrackTail.trb.bak", kNotText, kPlain}};
  if (TestingWindowsProgram()) {
    // Windows opens a name by its full path: these name new.trb there.
    // Device names with an extension would make no file.
    for (std::string name : {"new.trb.", "new.trb .", "new.trb\\.", "new.trb/sub/.."}) {
      refusals.push_back({name, kTrackTail, kPlain});
    }
    // The folder as drive Y:, which Wine gives a volume serial of its own.
    if (const char* prefix = std::getenv("WINEPREFIX")) {
      drive_y = std::string(prefix) + "/dosdevices/y:";
      unlink(drive_y.c_str());
      ASSERT_EQ(symlink(dir_.path().c_str(), drive_y.c_str()), 0);
      refusals.push_back({"Y:\\hard.csv", kInput, kPlain});
      refusals.push_back({"Y:\\my hike.gpx", kNotCsv, kPlain});  // as a drop names it
    }
    for (std::string name : {"com1.csv", "aux.csv", "nul.csv", "NUL .txt", "From Device\\Lpt3.x"}) {
      refusals.push_back({name, kNotOpened, kPlain});
    }
  } else {
    refusals.push_back({"dangling.csv", kTrackTail, kPlain});
  }
  for (const auto& [name, reason, prefix] : refusals) {
    RunResult result = Run({name}, prefix);
    EXPECT_EQ(result.console, Console(kBanner + name + reason + Summary(name, 0) + kPrompt));
    EXPECT_EQ(result.exit_status, 1) << name;
    EXPECT_EQ(result.errors.rfind("trb2csv: " + name + ": ", 0), 0u) << result.errors;
  }
  EXPECT_EQ(ReadFileBytes(dir_.File("ceTrackTail.trb")), input);
  for (const char* name : {"mytrack.trb", "From Device/ceTrackTail.trb", "ceTrackTail.trb.bak"}) {
    EXPECT_EQ(ReadFileBytes(dir_.File(name)), other) << name;
  }
  EXPECT_EQ(ReadFileBytes(dir_.File("my hike.gpx")), gpx);
  EXPECT_FALSE(FileExists(dir_.File("new.trb")));
}

// Written through the stream at its position: after the console text, or at
// the end of a log that standard error appends to, under whatever name.
TEST_F(TrackTail, OutputThatIsAStandardStreamFollowsWhatItHolds) {
  WriteInput(5, TrackBody(kFivePoints));
  const std::string log = "an earlier line\n" + std::string(12000, 'l') + "\n";
  ASSERT_TRUE(WriteFileBytes(dir_.File("log.txt"), log));
  RunResult appended = Run({"log.txt"}, {"sh", "-c", "exec \"$@\" >>log.txt", "sh"});
  EXPECT_EQ(appended.exit_status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.File("log.txt")),
            log + Console(kBanner) + kFivePointLines + Console(Summary("log.txt", 5) + kPrompt));
  ASSERT_TRUE(WriteFileBytes(dir_.File("app.log"), log));
  RunResult errors = Run({"app.log"}, {"sh", "-c", "exec \"$@\" 2>>app.log", "sh"});
  EXPECT_EQ(errors.exit_status, 0);
  EXPECT_EQ(errors.console, Console(kBanner + Summary("app.log", 5) + kPrompt));
  EXPECT_EQ(ReadFileBytes(dir_.File("app.log")), log + kFivePointLines);

  if (TestingWindowsProgram()) return;  // no /dev/stdout on Windows
  ASSERT_TRUE(WriteFileBytes(dir_.File("log.txt"), std::string(5000, 'x')));
  RunResult result = Run({"/dev/stdout"}, {"sh", "-c", "exec \"$@\" >log.txt", "sh"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.File("log.txt")),
            kBanner + std::string(kFivePointLines) + Summary("/dev/stdout", 5) + kPrompt);
  // A closed standard error is open on the null device, where the lines go
  // (valgrind and qemu-user, as launchers, keep standard error for their own).
  const char* launcher = std::getenv("TRB2CSV_LAUNCHER");
  if (launcher && *launcher) return;
  RunResult closed = Run({"/dev/stderr"}, {"sh", "-c", "exec \"$@\" 2>&-", "sh"});
  EXPECT_EQ(closed.exit_status, 0);
  EXPECT_EQ(closed.console, kBanner + Summary("/dev/stderr", 5) + kPrompt);
}

// Another run holds the output (a lock on POSIX, the open file on Windows):
// this one is kept out and changes nothing. Two runs started together leave
// the whole CSV of one of them, never a mix.
TEST_F(TrackTail, OneWriterAtATime) {
  const std::string shared = dir_.File("shared.csv");
  const char* launcher = std::getenv("TRB2CSV_LAUNCHER");
  const bool launched = launcher && *launcher;
  if (!TestingWindowsProgram()) {
    WriteInput(5, TrackBody(kFivePoints));
    ASSERT_TRUE(WriteFileBytes(shared, kOldCsv));
    const int held = open(shared.c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    RunResult kept_out = Run({shared});
    close(held);
    EXPECT_EQ(kept_out.console,
              kBanner + shared + " could not opend!\n" + Summary(shared, 0) + std::string(kPrompt));
    EXPECT_EQ(kept_out.exit_status, 1);
    EXPECT_EQ(kept_out.errors, "trb2csv: " + shared + ": held by another run of trb2csv\n");
    EXPECT_EQ(ReadFileBytes(shared), kOldCsv);
  }
  // Two real runs meet: the second starts while the first holds the file.
  if (!TestingWindowsProgram() && !launched && std::system("command -v strace >/dev/null") == 0) {
    RunResult second = Run({"shared.csv"}, Script("second_run_while_first_writes"));
    EXPECT_EQ(second.errors, "trb2csv: shared.csv: held by another run of trb2csv\n");
    EXPECT_EQ(ReadFileBytes(dir_.File("first.status")), "0\n");
    EXPECT_EQ(ReadFileBytes(shared), kFivePointLines);
  }

  std::string whole[2];
  const std::vector<TrackPoint> points[2] = {std::vector<TrackPoint>(1365, {1.5, 2.5}),
                                             std::vector<TrackPoint>(1000, {-3.25, 4.75})};
  for (int i = 0; i < 2; ++i) {
    const std::string folder = dir_.File(i == 0 ? "a" : "b");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(folder + "/ceTrackTail.trb",
                               TrackTailFile(INT32_MAX, TrackBody(points[i]))));
    RunTrb2csv(folder, {shared});
    whole[i] = ReadFileBytes(shared);
  }
  const std::vector<std::string> both_at_once = {
      "sh", "-c", "(cd a && exec \"$@\") & (cd b && exec \"$@\"); wait", "sh"};
  const int pairs = launched ? 10 : LoopRounds(30, 300);
  for (int pair = 0; pair < pairs; ++pair) {
    RunResult result = Run({shared}, both_at_once);
    const std::string csv = ReadFileBytes(shared);
    ASSERT_TRUE(csv == whole[0] || csv == whole[1]) << "pair " << pair << ": a mix";
    ASSERT_EQ(result.console.find("written"), std::string::npos) << result.console;
  }
}

// A CSV file of one name is replaced by a new file with its permissions,
// and a new file that a killed run left beside it is removed; one with a
// second name keeps its inode, and both names hold the new lines.
TEST_F(TrackTail, ExistingCsvIsReplacedByANewFileUnlessItHasAnotherName) {
  WriteInput(5, TrackBody(kFivePoints));
  const std::string csv = dir_.File(kDefaultOutput);
  const std::string left = dir_.File(".KeloTrackTail.csv.trb2csv-new");
  ASSERT_TRUE(WriteFileBytes(csv, kOldCsv));
  ASSERT_TRUE(WriteFileBytes(left, "53.5"));
  ASSERT_EQ(chmod(csv.c_str(), 0640), 0);
  struct stat before, after;
  ASSERT_EQ(stat(csv.c_str(), &before), 0);
  EXPECT_EQ(Run().exit_status, 0);
  ASSERT_EQ(stat(csv.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  if (!TestingWindowsProgram()) {
    EXPECT_EQ(after.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(Csv(), kFivePointLines);
  EXPECT_FALSE(FileExists(left));

  ASSERT_TRUE(WriteFileBytes(csv, kOldCsv));
  ASSERT_EQ(link(csv.c_str(), dir_.File("second name.csv").c_str()), 0);
  ASSERT_EQ(stat(csv.c_str(), &before), 0);
  EXPECT_EQ(Run().exit_status, 0);
  ASSERT_EQ(stat(csv.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Csv("second name.csv"), kFivePointLines);
}

TEST_F(TrackTail, ShortInputNamedAsOutputIsLeftAlone) {
  ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), "short"));
  RunResult result = Run({"ceTrackTail.trb"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(ReadFileBytes(dir_.File("ceTrackTail.trb")), "short");
}

TEST_F(TrackTail, OutputThatIsAFolderCannotBeOpened) {
  WriteInput(1, TrackBody({{1.0, 2.0}}));
  ASSERT_EQ(mkdir(dir_.File("out.csv").c_str(), 0755), 0);
  RunResult result = Run({"out.csv"});
  EXPECT_EQ(result.console, Console(kBanner + std::string("out.csv could not opend!\n") +
                                    Summary("out.csv", 0) + kPrompt));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.errors.find("trb2csv: out.csv: "), std::string::npos);
}

TEST_F(TrackTail, PermissionsAreReportedNotIgnored) {
  if (TestingWindowsProgram()) GTEST_SKIP() << "POSIX permissions";
  WriteInput(1, TrackBody({{1.0, 2.0}}));
  ASSERT_TRUE(WriteFileBytes(dir_.File("locked.csv"), kOldCsv));
  ASSERT_EQ(chmod(dir_.File("locked.csv").c_str(), 0444), 0);
  RunResult locked_output = Run({"locked.csv"}, Unprivileged());
  EXPECT_EQ(locked_output.console, Console(kBanner + std::string("locked.csv could not opend!\n") +
                                           Summary("locked.csv", 0) + kPrompt));
  EXPECT_EQ(locked_output.exit_status, 1);
  EXPECT_EQ(locked_output.errors, "trb2csv: locked.csv: Permission denied\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("locked.csv")), kOldCsv);

  ASSERT_EQ(chmod(dir_.File("ceTrackTail.trb").c_str(), 0), 0);
  RunResult locked_input = Run({"-quiet"}, Unprivileged());
  EXPECT_EQ(locked_input.console, "ceTrackTail.trb could not opened!\n");
  EXPECT_EQ(locked_input.exit_status, 1);
}

}  // namespace
