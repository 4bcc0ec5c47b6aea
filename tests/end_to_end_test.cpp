// Runs the real trb2csv in temporary folders on crafted track-tail files and
// compares the CSV bytes, the console text and the exit status.

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

#include "program_runner.h"
#include "test.h"
#include "track_writer.h"
#include "version.h"

namespace {

const char kBanner[] = "KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09\n";
const char kPrompt[] = "\nPress any key";
const char kDefaultOutput[] = "KeloTrackTail.csv";

// TRB2CSV_TARGET=windows when the program under test is the Windows one.
bool TestingWindowsProgram() {
  const char* target = std::getenv("TRB2CSV_TARGET");
  return target && std::string(target) == "windows";
}

// Console line ends as the program under test writes them: CR LF on Windows.
std::string Console(const std::string& text) {
  if (!TestingWindowsProgram()) return text;
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

// Runs without the privileges that let root pass over file permissions:
// the same user, so that every folder it could reach stays reachable.
std::vector<std::string> Unprivileged() {
  if (geteuid() != 0) return {};
  return {"setpriv", "--bounding-set=-all", "--inh-caps=-all", "--"};
}

std::string Summary(const std::string& output, int records,
                    const std::string& input = "ceTrackTail.trb") {
  return input + " --> " + output + " : " + std::to_string(records) + " Trackpoints\n";
}

class TrackTail : public testing::Test {
 protected:
  void WriteInput(std::int32_t count, const std::string& body) {
    ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), TrackTailFile(count, body)));
  }
  RunResult Run(const std::vector<std::string>& arguments = {},
                const std::vector<std::string>& prefix = {}) {
    return RunTrb2csv(dir_.path(), arguments, prefix);
  }
  std::string Csv(const std::string& name = kDefaultOutput) {
    return ReadFileBytes(dir_.File(name));
  }

  ScopedTempDir dir_;
};

const std::vector<TrackPoint> kFivePoints = {
    {53.558, 10.004}, {53.559, 10.0051}, {-33.8568, 151.2153}, {0.0, -0.5}, {47.5, -122.25}};

const char kFivePointLines[] =
    "53.558000 , 10.004000 , \"1\"\r\n"
    "53.559000 , 10.005100 , \"2\"\r\n"
    "-33.856800 , 151.215300 , \"3\"\r\n"
    "0.000000 , -0.500000 , \"4\"\r\n"
    "47.500000 , -122.250000 , \"5\"\r\n";

TEST_F(TrackTail, DefaultRunWritesEveryRecordAndPrintsBannerSummaryPrompt) {
  WriteInput(5, TrackBody(kFivePoints));
  RunResult result = Run();
  EXPECT_EQ(result.console, Console(kBanner + Summary(kDefaultOutput, 5) + kPrompt));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Csv(), kFivePointLines);
}

TEST_F(TrackTail, NoPhantomRecordsWhateverTheCount) {
  struct Case {
    std::int32_t count;
    std::string body;
    int walked;
    std::string csv;
  } cases[] = {
      {5, TrackBody(kFivePoints), 5, kFivePointLines},
      {0, TrackBody(kFivePoints), 0, ""},
      {-1, TrackBody(kFivePoints), 0, ""},
      {INT32_MIN, TrackBody(kFivePoints), 0, ""},
      {2, TrackBody(kFivePoints), 2,
       "53.558000 , 10.004000 , \"1\"\r\n53.559000 , 10.005100 , \"2\"\r\n"},
      {100000, TrackBody(std::vector<TrackPoint>(10, {1.5, 2.5})), 10, ""},
      {5,
       TrackBody({kFivePoints.begin(), kFivePoints.begin() + 4}) + "\x01\x02\x03\x04\x05\x06\x07",
       4,
       "53.558000 , 10.004000 , \"1\"\r\n53.559000 , 10.005100 , \"2\"\r\n"
       "-33.856800 , 151.215300 , \"3\"\r\n0.000000 , -0.500000 , \"4\"\r\n"},
      {1, "z", 0, ""},
      {1, std::string(47, '\0'), 0, ""},
      {INT32_MAX, std::string(48, '\0'), 1, "0.000000 , 0.000000 , \"1\"\r\n"},
      // Bytes that a read in text mode would take for line ends and the end.
      {5, TrackBody(kFivePoints).replace(16, 4, "\x1A\r\n\r"), 5, kFivePointLines},
  };
  std::string ten_lines;
  for (int i = 1; i <= 10; ++i)
    ten_lines += "1.500000 , 2.500000 , \"" + std::to_string(i) + "\"\r\n";
  cases[5].csv = ten_lines;

  // A track without a line leaves the old CSV file as it was, and fails.
  for (const Case& c : cases) {
    WriteInput(c.count, c.body);
    ASSERT_TRUE(WriteFileBytes(dir_.File(kDefaultOutput), "old\r\n"));
    RunResult result = Run();
    SCOPED_TRACE("count " + std::to_string(c.count) + ", body " + std::to_string(c.body.size()));
    EXPECT_EQ(result.console, Console(kBanner + Summary(kDefaultOutput, c.walked) + kPrompt));
    EXPECT_EQ(result.exit_status, c.csv.empty() ? 1 : 0);
    EXPECT_EQ(Csv(), c.csv.empty() ? "old\r\n" : c.csv);
    EXPECT_EQ(result.errors.find("was not written") != std::string::npos, c.csv.empty())
        << result.errors;
  }
}

TEST_F(TrackTail, FilterDropsOutOfRangeRecordsButKeepsTheirNumbers) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  WriteInput(9, TrackBody({{-360.0, 0.0},
                           {0.0, -360.0},
                           {360.0, 360.0},
                           {360.000001, 0.0},
                           {0.0, 360.000001},
                           {100.0, -359.9999999},
                           {kNaN, 1.0},
                           {1.0, std::numeric_limits<double>::infinity()},
                           {0.0078125, -0.0078125}}));
  RunResult result = Run({"-quiet"});
  EXPECT_EQ(result.console, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Csv(),
            "-360.000000 , 0.000000 , \"1\"\r\n"
            "360.000000 , 360.000000 , \"3\"\r\n"
            "100.000000 , -360.000000 , \"6\"\r\n"
            "0.007813 , -0.007813 , \"9\"\r\n");
}

TEST_F(TrackTail, WritesNegativeZeroAndHalvesExactly) {
  WriteInput(3, TrackBody({{-0.0, 0.0}, {-0.0000001, 12.3456785}, {0.0390625, -47.0078125}}));
  Run({"-quiet"});
  EXPECT_EQ(Csv(),
            "-0.000000 , 0.000000 , \"1\"\r\n"
            "-0.000000 , 12.345678 , \"2\"\r\n"
            "0.039063 , -47.007813 , \"3\"\r\n");
}

// The previous CSV file stays, and the run fails, so that nobody takes it
// for this track's.
TEST_F(TrackTail, ShortFileLeavesTheOutputUntouchedAndFails) {
  ASSERT_TRUE(WriteFileBytes(dir_.File(kDefaultOutput), "keep me\r\n"));
  std::string whole = TrackTailFile(5, "");
  for (std::size_t size : {0u, 1u, 200u, 203u, 204u}) {
    ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), whole.substr(0, size)));
    RunResult result = Run();
    EXPECT_EQ(result.console, Console(std::string(kBanner) + kPrompt)) << size;
    EXPECT_EQ(result.exit_status, 1) << size;
    EXPECT_NE(result.errors.find("ceTrackTail.trb: holds no track point"), std::string::npos);
    EXPECT_EQ(Csv(), "keep me\r\n") << size;
  }
  EXPECT_EQ(Run({"-quiet"}).console, "");
}

TEST_F(TrackTail, ExistingOutputIsReplacedCompletely) {
  ASSERT_TRUE(WriteFileBytes(dir_.File(kDefaultOutput), std::string(5000, 'x')));
  WriteInput(1, TrackBody({{1.0, 2.0}}));
  EXPECT_EQ(Run().exit_status, 0);
  EXPECT_EQ(Csv(), "1.000000 , 2.000000 , \"1\"\r\n");
}

TEST_F(TrackTail, LoadLimitIsNoticedInEveryModeAndTheRunGoesOn) {
  const std::string kNotice = "**** ceTrackTail too big to read into memory buffer: 65535\n";
  // 1,365 records and 15 more bytes: the body reaches the limit.
  std::string body = TrackBody(std::vector<TrackPoint>(1365, {-1.25, 2.0})) + std::string(15, '\0');
  WriteInput(100000, body);
  RunResult loud = Run();
  EXPECT_EQ(loud.console,
            Console(kBanner + kNotice + kPrompt + Summary(kDefaultOutput, 1365) + kPrompt));
  EXPECT_EQ(loud.exit_status, 0) << "every whole record was converted";
  std::string csv = Csv();
  const std::string kLastLine = "\n-1.250000 , 2.000000 , \"1365\"\r\n";
  EXPECT_EQ(csv.substr(csv.size() - kLastLine.size()), kLastLine);

  RunResult quiet = Run({"-quiet"});
  EXPECT_EQ(quiet.console, Console(kNotice + kPrompt));
  EXPECT_EQ(quiet.exit_status, 0);

  WriteInput(100000, TrackBody(std::vector<TrackPoint>(1366, {-1.25, 2.0})));
  RunResult record_left_out = Run({"-quiet"});
  EXPECT_EQ(record_left_out.console, Console(kNotice + kPrompt));
  EXPECT_EQ(record_left_out.exit_status, 1);
  EXPECT_EQ(Csv(), csv);

  WriteInput(100000, body.substr(0, 65534));
  RunResult largest_whole = Run({"-quiet"});
  EXPECT_EQ(largest_whole.console, "");
  EXPECT_EQ(largest_whole.exit_status, 0);
  EXPECT_EQ(Csv(), csv);
}

TEST_F(TrackTail, MissingInputIsReportedAndNothingIsWritten) {
  RunResult loud = Run();
  EXPECT_EQ(loud.console,
            Console(kBanner + std::string("ceTrackTail.trb could not opened!\n") + kPrompt));
  EXPECT_EQ(loud.exit_status, 1);
  // Where it looked, and that the argument is not the track file.
  EXPECT_NE(loud.errors.find("trb2csv: ceTrackTail.trb: "), std::string::npos) << loud.errors;
  EXPECT_NE(loud.errors.find("names the CSV file"), std::string::npos) << loud.errors;
  RunResult quiet = Run({"-quiet"});
  EXPECT_EQ(quiet.console, Console("ceTrackTail.trb could not opened!\n"));
  EXPECT_EQ(quiet.exit_status, 1);
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
}

TEST_F(TrackTail, UnreadableInputIsReportedAsNotOpened) {
  ASSERT_EQ(mkdir(dir_.File("ceTrackTail.trb").c_str(), 0755), 0);
  RunResult result = Run({"-quiet"});
  EXPECT_EQ(result.console, Console("ceTrackTail.trb could not opened!\n"));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
}

TEST_F(TrackTail, FifoInputNeitherBlocksWithoutWriterNorFailsWithASlowOne) {
  ASSERT_EQ(mkfifo(dir_.File("ceTrackTail.trb").c_str(), 0644), 0);
  RunResult result = Run();
  EXPECT_EQ(result.console, Console(std::string(kBanner) + kPrompt));
  EXPECT_EQ(result.exit_status, 1) << "no track point";
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));

  if (TestingWindowsProgram()) return;  // no FIFOs on Windows
  // A writer that holds the FIFO open from the start (file 4) and writes only
  // a while later, once there is a reader.
  ASSERT_TRUE(WriteFileBytes(dir_.File("track"), TrackTailFile(5, TrackBody(kFivePoints))));
  RunResult slow_writer = Run({}, {"sh", "-c",
                                   "exec 3<>ceTrackTail.trb 4>ceTrackTail.trb 3<&-; "
                                   "(sleep 0.3; cat track >ceTrackTail.trb) & exec \"$@\" 4>&-",
                                   "sh"});
  EXPECT_EQ(slow_writer.console, kBanner + Summary(kDefaultOutput, 5) + kPrompt);
  EXPECT_EQ(slow_writer.exit_status, 0);
  EXPECT_EQ(Csv(), kFivePointLines);
}

TEST_F(TrackTail, FifoOutputIsRefusedWithoutReaderAndWrittenWholeWithOne) {
  WriteInput(5, TrackBody(kFivePoints));
  const std::string fifo = dir_.File("out.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Under Wine a FIFO opens whether it has a reader or not: it is refused.
  const std::string kNoReader = TestingWindowsProgram()
                                    ? "a FIFO, and whether anything reads it cannot be known"
                                    : "No such device or address";
  RunResult no_reader = Run({"out.fifo"});
  EXPECT_EQ(no_reader.console, Console(kBanner + std::string("out.fifo could not opend!\n") +
                                       Summary("out.fifo", 0) + kPrompt));
  EXPECT_EQ(no_reader.exit_status, 1);
  EXPECT_EQ(no_reader.errors, Console("trb2csv: out.fifo: " + kNoReader + "\n"));

  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  RunResult with_reader = Run({"out.fifo"});
  std::string received(4096, '\0');
  const ssize_t got = read(reader, received.data(), received.size());
  close(reader);
  received.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  EXPECT_EQ(with_reader.exit_status, TestingWindowsProgram() ? 1 : 0);
  EXPECT_EQ(received, TestingWindowsProgram() ? "" : kFivePointLines);
}

// Runs with a pipe that has lost its reader as file 4, and standard output
// redirected as redirection says.
std::vector<std::string> WithPipeWithoutReader(const std::string& redirection) {
  return {"sh", "-c", "exec 3<>pipe.fifo 4>pipe.fifo 3<&-; exec \"$@\" " + redirection, "sh"};
}

TEST_F(TrackTail, PipeWithoutReaderFailsWritesButEndsNoRun) {
  if (TestingWindowsProgram()) GTEST_SKIP() << "POSIX pipes";
  ASSERT_EQ(mkfifo(dir_.File("pipe.fifo").c_str(), 0600), 0);
  WriteInput(5, TrackBody(kFivePoints));
  RunResult console_lost = Run({}, WithPipeWithoutReader(">&4"));
  EXPECT_EQ(console_lost.exit_status, 0);
  EXPECT_EQ(Csv(), kFivePointLines);

  RunResult output_lost = Run({"/dev/fd/4"}, WithPipeWithoutReader(""));
  EXPECT_EQ(output_lost.console, kBanner + std::string("/dev/fd/4 could not opend!\n") +
                                     Summary("/dev/fd/4", 0) + kPrompt);
  EXPECT_EQ(output_lost.exit_status, 1);

  WriteInput(INT32_MAX, TrackBody(std::vector<TrackPoint>(1400, {1.0, 2.0})));
  RunResult notice_lost = Run({"-quiet"}, WithPipeWithoutReader(">&4"));
  EXPECT_EQ(notice_lost.exit_status, 1);
  const std::string csv = Csv();
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1365);

  // A small pipe whose reader takes the first bytes and goes: the CSV is
  // written only in part.
  WriteInput(INT32_MAX, TrackBody(std::vector<TrackPoint>(1365, {1.0, 2.0})));
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  ASSERT_GE(fcntl(pipe_ends[1], F_SETPIPE_SZ, 4096), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    close(pipe_ends[1]);
    char first_bytes[100];
    _exit(read(pipe_ends[0], first_bytes, sizeof first_bytes) > 0 ? 0 : 1);
  }
  close(pipe_ends[0]);
  const std::string output = "/dev/fd/" + std::to_string(pipe_ends[1]);
  RunResult written_in_part = Run({output});
  close(pipe_ends[1]);
  waitpid(reader, nullptr, 0);
  EXPECT_EQ(written_in_part.console,
            kBanner + output + " could not be written!\n" + std::string(kPrompt));
  EXPECT_EQ(written_in_part.exit_status, 1);
}

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

// The input under any name, any other track-tail file through any name or
// link, and any file that is not text, are refused as outputs; nothing is
// created or changed.
TEST_F(TrackTail, TrackFilesAreNeverOverwritten) {
  const std::string input = TrackTailFile(5, TrackBody(kFivePoints));
  const std::string other = TrackTailFile(1, TrackBody({{1.0, 2.0}}));
  const std::string picture = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + "xy";
  ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), input));
  ASSERT_EQ(link(dir_.File("ceTrackTail.trb").c_str(), dir_.File("hard.csv").c_str()), 0);
  ASSERT_EQ(mkdir(dir_.File("From Device").c_str(), 0755), 0);
  ASSERT_TRUE(WriteFileBytes(dir_.File("mytrack.trb"), other));
  ASSERT_TRUE(WriteFileBytes(dir_.File("From Device/ceTrackTail.trb"), other));
  ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb.bak"), other));
  ASSERT_TRUE(WriteFileBytes(dir_.File("photo.csv"), picture));
  ASSERT_EQ(symlink("new.trb", dir_.File("dangling.csv").c_str()), 0);
  ASSERT_EQ(symlink("dangling.csv", dir_.File("link to nothing.csv").c_str()), 0);
  ASSERT_EQ(link(dir_.File("mytrack.trb").c_str(), dir_.File("other-hard.csv").c_str()), 0);
  const char kInput[] = " is the input file and is not overwritten!\n";
  const char kTrackTail[] = " is a track-tail file and is not overwritten!\n";
  const char kNotText[] = " is not a text file and is not overwritten!\n";
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
                                   {"new.tRb", kTrackTail, kPlain},
                                   {"From Device/new.trb", kTrackTail, kPlain},
                                   {"ceTrackTail.trb.bak", kNotText, kPlain},
                                   {"photo.csv", kNotText, kPlain},
                                   {"other-hard.csv", kNotText, kPlain}};
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
    }
    for (std::string name : {"com1.csv", "aux.csv", "nul.csv", "NUL .txt", "From Device\\Lpt3.x"}) {
      refusals.push_back({name, kNotOpened, kPlain});
    }
  } else {
    refusals.insert(refusals.end(), {{"MyTrack.TRB", kTrackTail, kPlain},
                                     {"dangling.csv", kTrackTail, kPlain},
                                     {"link to nothing.csv", kTrackTail, kPlain}});
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
  EXPECT_EQ(ReadFileBytes(dir_.File("photo.csv")), picture);
  EXPECT_FALSE(FileExists(dir_.File("new.tRb")));
  EXPECT_FALSE(FileExists(dir_.File("new.trb")));
  EXPECT_FALSE(FileExists(dir_.File("From Device/new.trb")));
  if (!TestingWindowsProgram()) {
    EXPECT_FALSE(FileExists(dir_.File("MyTrack.TRB")));
  }
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

  // Not all of them existing track files: the arguments are ignored.
  RunResult mixed = Run({"mytrack.trb", "missing.trb"});
  EXPECT_EQ(mixed.console, Console(kBanner + Summary(kDefaultOutput, 5) + kPrompt));
  EXPECT_EQ(mixed.errors.rfind(Console("trb2csv: mytrack.trb missing.trb: ignored; "), 0), 0u);
  EXPECT_EQ(Csv(), kFivePointLines);

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
  // A closed standard error is open on the null device, where the lines go.
  RunResult closed = Run({"/dev/stderr"}, {"sh", "-c", "exec \"$@\" 2>&-", "sh"});
  EXPECT_EQ(closed.exit_status, 0);
  EXPECT_EQ(closed.console, kBanner + Summary("/dev/stderr", 5) + kPrompt);
}

// Runs the program twice on one output, the second while the first is
// stopped as it writes (strace stops it), and lets the first go on after.
// The first run's status goes to first.status. In a sanitizer build the
// leak checker cannot work under strace.
const std::vector<std::string> kSecondWhileFirstWrites = {
    "sh", "-c",
    "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -qq -o /dev/null -P "
    "\"$1\" -e trace=write -e inject=write:signal=SIGSTOP "
    "  sh -c 'echo $$ >first.pid; exec \"$@\"' sh \"$0\" \"$1\" >/dev/null 2>&1 &\n"
    "for _ in $(seq 400); do\n"
    "  [ -s first.pid ] && grep -q '^[0-9]* ([^)]*) [tT]' \"/proc/$(cat first.pid)/stat\" && "
    "break\n"
    "  sleep 0.05\n"
    "done 2>/dev/null\n"
    "\"$0\" \"$1\"\n"
    "kill -s CONT \"$(cat first.pid)\"\n"
    "wait $!\n"
    "echo $? >first.status"};

// Another run holds the output (a lock on POSIX, the open file on Windows):
// this one is kept out and changes nothing. Two runs started together leave
// the whole CSV of one of them, never a mix.
TEST_F(TrackTail, OneWriterAtATime) {
  const std::string shared = dir_.File("shared.csv");
  const char* launcher = std::getenv("TRB2CSV_LAUNCHER");
  const bool launched = launcher && *launcher;
  if (!TestingWindowsProgram()) {
    WriteInput(5, TrackBody(kFivePoints));
    ASSERT_TRUE(WriteFileBytes(shared, "held\r\n"));
    const int held = open(shared.c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    RunResult kept_out = Run({shared});
    close(held);
    EXPECT_EQ(kept_out.console,
              kBanner + shared + " could not opend!\n" + Summary(shared, 0) + std::string(kPrompt));
    EXPECT_EQ(kept_out.exit_status, 1);
    EXPECT_EQ(kept_out.errors, "trb2csv: " + shared + ": held by another run of trb2csv\n");
    EXPECT_EQ(ReadFileBytes(shared), "held\r\n");
  }
  // Two real runs meet: the second starts while the first holds the file.
  if (!TestingWindowsProgram() && !launched && std::system("command -v strace >/dev/null") == 0) {
    RunResult second = Run({"shared.csv"}, kSecondWhileFirstWrites);
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
  const int pairs = launched ? 10 : 300;
  for (int pair = 0; pair < pairs; ++pair) {
    RunResult result = Run({shared}, both_at_once);
    const std::string csv = ReadFileBytes(shared);
    ASSERT_TRUE(csv == whole[0] || csv == whole[1]) << "pair " << pair << ": a mix";
    ASSERT_EQ(result.console.find("written"), std::string::npos) << result.console;
  }
}

TEST_F(TrackTail, ShortInputNamedAsOutputIsLeftAlone) {
  ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), "short"));
  RunResult result = Run({"ceTrackTail.trb"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(ReadFileBytes(dir_.File("ceTrackTail.trb")), "short");
}

// What the file system can do to a run: each fault gives its message, and
// nothing is lost or left hanging.

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
  ASSERT_TRUE(WriteFileBytes(dir_.File("locked.csv"), "keep\r\n"));
  ASSERT_EQ(chmod(dir_.File("locked.csv").c_str(), 0444), 0);
  RunResult locked_output = Run({"locked.csv"}, Unprivileged());
  EXPECT_EQ(locked_output.console, Console(kBanner + std::string("locked.csv could not opend!\n") +
                                           Summary("locked.csv", 0) + kPrompt));
  EXPECT_EQ(locked_output.exit_status, 1);
  EXPECT_EQ(locked_output.errors, "trb2csv: locked.csv: Permission denied\n");
  EXPECT_EQ(ReadFileBytes(dir_.File("locked.csv")), "keep\r\n");

  ASSERT_EQ(chmod(dir_.File("ceTrackTail.trb").c_str(), 0), 0);
  RunResult locked_input = Run({"-quiet"}, Unprivileged());
  EXPECT_EQ(locked_input.console, "ceTrackTail.trb could not opened!\n");
  EXPECT_EQ(locked_input.exit_status, 1);
}

TEST_F(TrackTail, InputsOfEveryLengthAroundTheHeader) {
  std::string whole = TrackTailFile(3, TrackBody({{1.0, 2.0}, {3.0, 4.0}}));
  for (std::size_t size : {0, 1, 199, 200, 203, 204, 205, 251, 252, 253, 299, 300}) {
    ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), whole.substr(0, size)));
    unlink(dir_.File(kDefaultOutput).c_str());
    RunResult result = Run({"-quiet"});
    SCOPED_TRACE(size);
    EXPECT_EQ(result.console, "");
    EXPECT_EQ(result.exit_status, size < 204 + 48 ? 1 : 0);
    std::string expected;
    if (size >= 204 + 48) expected += "1.000000 , 2.000000 , \"1\"\r\n";
    if (size >= 204 + 96) expected += "3.000000 , 4.000000 , \"2\"\r\n";
    if (expected.empty()) {
      EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
    } else {
      EXPECT_EQ(Csv(), expected);
    }
  }
}

TEST_F(TrackTail, InputOfSeveralMegabytesIsCutAtTheLoadLimit) {
  WriteInput(INT32_MAX, TrackBody(std::vector<TrackPoint>(100000, {-12.5, 130.75})));
  RunResult result = Run({"-quiet"});
  EXPECT_EQ(result.console, Console("**** ceTrackTail too big to read into memory buffer: 65535\n" +
                                    std::string(kPrompt)));
  EXPECT_EQ(result.exit_status, 1);
  std::string csv = Csv();
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1365);
  EXPECT_EQ(csv.substr(0, 29), "-12.500000 , 130.750000 , \"1\"");
}

TEST_F(TrackTail, EndlessInputIsCutAtTheLoadLimit) {
  if (TestingWindowsProgram()) GTEST_SKIP() << "no /dev/zero on Windows";
  ASSERT_EQ(symlink("/dev/zero", dir_.File("ceTrackTail.trb").c_str()), 0);
  RunResult result = Run({"-quiet"});
  EXPECT_EQ(result.console,
            "**** ceTrackTail too big to read into memory buffer: 65535\n" + std::string(kPrompt));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput))) << "a point count of 0: no line";
}

class CommandLine : public TrackTail {
 protected:
  void SetUp() override { WriteInput(1, TrackBody({{1.0, 2.0}})); }
  static constexpr char kLine[] = "1.000000 , 2.000000 , \"1\"\r\n";
};

TEST_F(CommandLine, QuietInAnyLetterCasePrintsNothingAndDoesNotWait) {
  for (std::string option : {"-quiet", "-QUIET", "-Quiet", "-qUiEt"}) {
    ASSERT_EQ(unlink(dir_.File(kDefaultOutput).c_str()) == 0 || option == "-quiet", true);
    RunResult result = Run({option});
    EXPECT_EQ(result.console, "") << option;
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(Csv(), kLine) << option;
  }
}

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
  for (std::string name : {"out.csv", "with blank.csv", "./-quietly", "./-"}) {
    RunResult result = Run({name});
    EXPECT_EQ(result.console, Console(kBanner + Summary(name, 1) + kPrompt)) << name;
    EXPECT_EQ(result.errors, "") << name;
    EXPECT_EQ(Csv(name), kLine) << name;
  }
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
}

// An option that trb2csv does not know is not taken for a file to write.
TEST_F(CommandLine, UnknownOptionsAreRefusedAndTouchNothing) {
  for (std::string option : {"--quiet", "-q", "-v", "-help", "-o", "-quietly", "-quie", "-"}) {
    RunResult result = Run({option});
    EXPECT_EQ(result.console, "") << option;
    EXPECT_EQ(result.exit_status, 2) << option;
    EXPECT_EQ(result.errors.rfind(Console("trb2csv: unknown option " + option + "\nUsage: "), 0),
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
      {{"-QUIET", "a", "b"}, true, "a b"},
      {{"out.csv", "-quiet"}, false, "out.csv -quiet"},
      {{"one.csv", "two.csv"}, false, "one.csv two.csv"},
      {{""}, false, ""},
      {{"", ""}, false, " "},
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
  EXPECT_FALSE(FileExists(dir_.File("one.csv")));
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
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));
  EXPECT_FALSE(FileExists(dir_.File(too_long.substr(0, 253))));
}

}  // namespace
