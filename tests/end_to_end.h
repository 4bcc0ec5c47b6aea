// What the end-to-end tests share: the program under test, the fixture that
// runs it in a fresh folder, and the console text it writes.

#ifndef TRB2CSV_TESTS_END_TO_END_H_
#define TRB2CSV_TESTS_END_TO_END_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "program_runner.h"
#include "test.h"
#include "track_writer.h"

inline constexpr char kBanner[] = "KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09\n";
inline constexpr char kPrompt[] = "\nPress any key";
inline constexpr char kDefaultOutput[] = "KeloTrackTail.csv";
// The CSV file of an earlier run, which a new one may replace.
inline constexpr char kOldCsv[] = "9.000000 , 9.000000 , \"1\"\r\n";

// TRB2CSV_TARGET=windows when the program under test is the Windows one.
bool TestingWindowsProgram();

// Console line ends as the program under test writes them: CR LF on Windows.
std::string Console(const std::string& text);

// Runs without the privileges that let root pass over file permissions:
// the same user, so that every folder it could reach stays reachable.
std::vector<std::string> Unprivileged();

// The summary line of a run.
std::string Summary(const std::string& output, int records,
                    const std::string& input = "ceTrackTail.trb");

// How many rounds a racing or swapping loop runs: a few dozen, or with
// TRB2CSV_SOAK=1 in the environment (as CI sets it) the full count.
int LoopRounds(int few, int full);

// A prefix that runs the program through tests/NAME.sh with the words given.
std::vector<std::string> Script(const std::string& name,
                                const std::vector<std::string>& words = {});

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

inline const std::vector<TrackPoint> kFivePoints = {
    {53.558, 10.004}, {53.559, 10.0051}, {-33.8568, 151.2153}, {0.0, -0.5}, {47.5, -122.25}};

inline constexpr char kFivePointLines[] =
    "53.558000 , 10.004000 , \"1\"\r\n"
    "53.559000 , 10.005100 , \"2\"\r\n"
    "-33.856800 , 151.215300 , \"3\"\r\n"
    "0.000000 , -0.500000 , \"4\"\r\n"
    "47.500000 , -122.250000 , \"5\"\r\n";

#endif  // TRB2CSV_TESTS_END_TO_END_H_
