#include "csv_line.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

#include "csv_exporter.h"

namespace {

std::string Line(double latitude, double longitude, std::int32_t number) {
  char line[kCsvLineMaxLength + 1];
  std::size_t length = FormatCsvLine(latitude, longitude, number, line);
  EXPECT_EQ(length, std::strlen(line));
  return line;
}

TEST(CsvLine, SeparatesFieldsAndQuotesTheNumber) {
  EXPECT_EQ(Line(47.5, -122.25, 3), "47.500000 , -122.250000 , \"3\"");
  EXPECT_EQ(Line(-0.0, 0.0078125, 1365), "-0.000000 , 0.007813 , \"1365\"");
}

TEST(CsvLine, LongestLineFitsItsBound) {
  std::string line = Line(-DBL_MAX, -DBL_MAX, INT32_MIN);
  EXPECT_EQ(line.size(), kCsvLineMaxLength);
}

TEST(CoordinateRange, BoundsAre360WithTheLongitudeMinusExcluded) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    double latitude, longitude;
    bool written;
  } cases[] = {
      {-360.0, 0.0, true},      {0.0, -360.0, false},      {360.0, 360.0, true},
      {360.000001, 0.0, false}, {0.0, 360.000001, false},  {-360.000001, 0.0, false},
      {100.0, 0.0, true},       {0.0, -359.9999999, true}, {kNaN, 0.0, false},
      {0.0, kNaN, false},       {kInf, 0.0, false},        {0.0, -kInf, false},
      {-0.0, -0.0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InCoordinateRange(c.latitude, c.longitude), c.written)
        << c.latitude << ", " << c.longitude;
  }
}

TEST(RecordsToWalk, WholeLoadedRecordsUpToTheHeaderCount) {
  EXPECT_EQ(RecordsToWalk(5, 5 * 48), 5);
  EXPECT_EQ(RecordsToWalk(5, 4 * 48 + 7), 4);
  EXPECT_EQ(RecordsToWalk(100000, 10 * 48), 10);
  EXPECT_EQ(RecordsToWalk(3, 10 * 48), 3);
  EXPECT_EQ(RecordsToWalk(0, 10 * 48), 0);
  EXPECT_EQ(RecordsToWalk(-1, 10 * 48), 0);
  EXPECT_EQ(RecordsToWalk(INT32_MIN, 10 * 48), 0);
  EXPECT_EQ(RecordsToWalk(INT32_MAX, 65535), 1365);
  EXPECT_EQ(RecordsToWalk(1, 47), 0);
  EXPECT_EQ(RecordsToWalk(1, -1), 0);
}

}  // namespace
