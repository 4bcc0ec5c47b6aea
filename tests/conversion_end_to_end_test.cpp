// The real trb2csv on crafted track files: the CSV bytes, the console text
// and the exit status of a run, for what only a whole run shows.

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

TEST_F(TrackTail, DefaultRunWritesEveryRecordAndPrintsBannerSummaryPrompt) {
  WriteInput(5, TrackBody(kFivePoints));
  RunResult result = Run();
  EXPECT_EQ(result.console, Console(kBanner + Summary(kDefaultOutput, 5) + kPrompt));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Csv(), kFivePointLines);
}

// The records taken, and a track without a line (a point count of 0),
// which leaves the old CSV file as it was, and fails. The rules of the
// records walked are the unit tests'; this is the whole run, and its read of
// the file in binary mode.
TEST_F(TrackTail, RecordsTakenAndRunsWithoutALine) {
  const struct {
    std::int32_t count;
    std::string body;
    int walked;
    std::string csv;
  } kCases[] = {
      {5, TrackBody(kFivePoints), 5, kFivePointLines},
      {0, TrackBody(kFivePoints), 0, ""},
      // Bytes that a read in text mode would take for line ends and the end.
      {5, TrackBody(kFivePoints).replace(16, 4, "\x1A\r\n\r"), 5, kFivePointLines},
  };
  for (const auto& c : kCases) {
    WriteInput(c.count, c.body);
    ASSERT_TRUE(WriteFileBytes(dir_.File(kDefaultOutput), kOldCsv));
    RunResult result = Run();
    SCOPED_TRACE("count " + std::to_string(c.count) + ", body " + std::to_string(c.body.size()));
    EXPECT_EQ(result.console, Console(kBanner + Summary(kDefaultOutput, c.walked) + kPrompt));
    EXPECT_EQ(result.exit_status, c.csv.empty() ? 1 : 0);
    EXPECT_EQ(Csv(), c.csv.empty() ? kOldCsv : c.csv);
    EXPECT_EQ(result.errors.find("was not written") != std::string::npos, c.csv.empty())
        << result.errors;
  }
}

// A record the range filter leaves out keeps its number (the filter's rule
// is the unit tests').
TEST_F(TrackTail, FilterDropsOutOfRangeRecordsButKeepsTheirNumbers) {
  WriteInput(3, TrackBody({{-360.0, 0.0}, {0.0, -360.0}, {0.0078125, -0.0078125}}));
  RunResult result = Run({"-quiet"});
  EXPECT_EQ(result.console, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(Csv(), "-360.000000 , 0.000000 , \"1\"\r\n0.007813 , -0.007813 , \"3\"\r\n");
}

// The previous CSV file stays, and the run fails, so that nobody takes it
// for this track's, until the file holds a whole record (the lengths around
// the header are the loader's unit table's).
TEST_F(TrackTail, ShortFileLeavesTheOutputUntouchedAndFails) {
  const std::string whole = TrackTailFile(1, TrackBody({{1.0, 2.0}}));
  for (std::size_t size : {0u, 204u, 251u, 252u}) {
    ASSERT_TRUE(WriteFileBytes(dir_.File(kDefaultOutput), kOldCsv));
    ASSERT_TRUE(WriteFileBytes(dir_.File("ceTrackTail.trb"), whole.substr(0, size)));
    RunResult result = Run();
    SCOPED_TRACE(size);
    const bool written = size == whole.size();
    const std::string summary = size > 204 ? Summary(kDefaultOutput, written ? 1 : 0) : "";
    EXPECT_EQ(result.console, Console(kBanner + summary + kPrompt));
    EXPECT_EQ(result.exit_status, written ? 0 : 1);
    EXPECT_EQ(result.errors.find("was not written") != std::string::npos, !written);
    EXPECT_EQ(Csv(), written ? "1.000000 , 2.000000 , \"1\"\r\n" : kOldCsv);
  }
  EXPECT_EQ(Run({"-quiet"}).console, "");
}

TEST_F(TrackTail, ExistingOutputIsReplacedCompletely) {
  std::string longer;
  for (int i = 0; i < 200; ++i) longer += kOldCsv;
  ASSERT_TRUE(WriteFileBytes(dir_.File(kDefaultOutput), longer));
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

  // Megabytes of records: the 1,366th and all after it are left out.
  WriteInput(INT32_MAX, TrackBody(std::vector<TrackPoint>(100000, {-1.25, 2.0})));
  RunResult record_left_out = Run({"-quiet"});
  EXPECT_EQ(record_left_out.console, Console(kNotice + kPrompt));
  EXPECT_EQ(record_left_out.exit_status, 1);
  EXPECT_EQ(Csv(), csv);
}

TEST_F(TrackTail, MissingInputIsReportedAndNothingIsWritten) {
  RunResult loud = Run();
  EXPECT_EQ(loud.console,
            Console(kBanner + std::string("ceTrackTail.trb could not opened!\n") + kPrompt));
  EXPECT_EQ(loud.exit_status, 1);
  // Where it looked, and how to name other track files.
  EXPECT_NE(loud.errors.find("trb2csv: ceTrackTail.trb: "), std::string::npos) << loud.errors;
  EXPECT_NE(loud.errors.find("name them: trb2csv TRACK.trb"), std::string::npos) << loud.errors;
  // With a name, that it is the CSV file's.
  EXPECT_NE(Run({"out.csv"}).errors.find("out.csv, the one argument, names the CSV file"),
            std::string::npos);
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

TEST_F(TrackTail, EndlessInputIsCutAtTheLoadLimit) {
  if (TestingWindowsProgram()) GTEST_SKIP() << "no /dev/zero on Windows";
  ASSERT_EQ(symlink("/dev/zero", dir_.File("ceTrackTail.trb").c_str()), 0);
  RunResult result = Run({"-quiet"});
  EXPECT_EQ(result.console,
            "**** ceTrackTail too big to read into memory buffer: 65535\n" + std::string(kPrompt));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput))) << "a point count of 0: no line";
}

}  // namespace
