#include "csv_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "rounding_oracle.h"
#include "track_writer.h"

namespace {

std::string Fixed6(double value) {
  char text[32];
  return std::string(text, FormatFixed6(value, text));
}

std::string Reference(double value) {
  char text[64];
  ReferenceText(value, text);
  return text;
}

TEST(FixedPoint, WritesSixDecimalsWithoutPadding) {
  EXPECT_EQ(Fixed6(0.0), "0.000000");
  EXPECT_EQ(Fixed6(47.5), "47.500000");
  EXPECT_EQ(Fixed6(-122.25), "-122.250000");
  EXPECT_EQ(Fixed6(360.0), "360.000000");
  EXPECT_EQ(Fixed6(1.0), "1.000000");
  EXPECT_EQ(Fixed6(0.5), "0.500000");
  EXPECT_EQ(Fixed6(1e12), "1000000000000.000000");
  EXPECT_EQ(Fixed6(std::ldexp(1.0, 42) - std::ldexp(1.0, -10)), "4398046511103.999023");
}

TEST(FixedPoint, WritesMinusWheneverSignBitIsSet) {
  EXPECT_EQ(Fixed6(-0.0), "-0.000000");
  EXPECT_EQ(Fixed6(-0.0000004), "-0.000000");
  EXPECT_EQ(Fixed6(-std::numeric_limits<double>::denorm_min()), "-0.000000");
  EXPECT_EQ(Fixed6(std::numeric_limits<double>::denorm_min()), "0.000000");
}

TEST(FixedPoint, RoundsExactHalvesAwayFromZero) {
  EXPECT_EQ(Fixed6(0.0078125), "0.007813");
  EXPECT_EQ(Fixed6(-0.0078125), "-0.007813");
  EXPECT_EQ(Fixed6(0.0390625), "0.039063");  // 5/128
  EXPECT_EQ(Fixed6(0.0234375), "0.023438");  // 3/128: even and away agree
  EXPECT_EQ(Fixed6(47.0078125), "47.007813");
  EXPECT_EQ(Fixed6(-359.9921875), "-359.992188");
  EXPECT_EQ(Fixed6(-4398046511103.3203125), "-4398046511103.320313");
}

TEST(FixedPoint, RoundsFromTheExactBinaryValue) {
  EXPECT_EQ(Fixed6(12.3456785), "12.345678");  // nearest double just below the half
  EXPECT_EQ(Fixed6(15.5720615), "15.572062");  // nearest double just above the half
  EXPECT_EQ(Fixed6(-359.9999999), "-360.000000");
  EXPECT_EQ(Fixed6(0.0000005), "0.000000");  // stored a little below the half
  EXPECT_EQ(Fixed6(std::nextafter(0.0000005, 1.0)), "0.000001");
  EXPECT_EQ(Fixed6(0.9999995), "1.000000");  // stored a little above the half
  EXPECT_EQ(Fixed6(9.9999995), "9.999999");
  EXPECT_EQ(Fixed6(99.9999996), "100.000000");
}

// The formatter and the reference (glibc away from the halves) must agree
// digit for digit, over the whole range it is made for and at every size of
// exponent.
TEST(FixedPoint, AgreesWithCorrectlyRoundingPrintfAwayFromHalves) {
  std::mt19937_64 random(20260512);
  int compared = 0;
  for (int i = 0; i < 200000; ++i) {
    double value;
    if (i % 2 == 0) {
      double mantissa = std::uniform_real_distribution<double>(1.0, 2.0)(random);
      value = std::ldexp(mantissa, std::uniform_int_distribution<int>(-40, 41)(random));
      if (random() & 1) value = -value;
    } else {
      // Mostly coordinates, with few significant bits now and then.
      value = std::uniform_real_distribution<double>(-400.0, 400.0)(random);
      if (i % 3 == 0) value = std::round(value * 4096) / 4096;
    }
    if (IsExactHalf(value)) continue;
    ASSERT_EQ(Fixed6(value), Reference(value)) << "bits of " << value;
    ++compared;
  }
  EXPECT_GT(compared, 150000);
}

// The doubles nearest to a half of the sixth decimal, and their neighbours,
// lie within a hair of where the rounding turns.
TEST(FixedPoint, AgreesWithPrintfBesideEveryRoundingPoint) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 20000; ++i) {
    const double scale = std::ldexp(1.0, std::uniform_int_distribution<int>(0, 52)(random));
    const double millionths = std::floor(std::uniform_real_distribution<double>(0, scale)(random));
    const double boundary = (millionths + 0.5) / 1e6;
    for (double value : {std::nextafter(boundary, 0.0), boundary, std::nextafter(boundary, 1e9)}) {
      ASSERT_EQ(Fixed6(value), Reference(value)) << "bits of " << value;
      ASSERT_EQ(Fixed6(-value), Reference(-value)) << "bits of " << -value;
    }
  }
}

TEST(FixedPoint, RoundsEveryHalfBetweenCoordinatesAwayFromZero) {
  for (int odd = -360 * 128 + 1; odd < 360 * 128; odd += 2) {
    ASSERT_EQ(Fixed6(odd / 128.0), Reference(odd / 128.0));
  }
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

// Converts body (the loaded bytes, no more) and returns the CSV text.
std::string Convert(const std::string& body, std::int32_t count, std::int32_t* walked = nullptr) {
  std::vector<unsigned char> records(body.begin(), body.end());
  std::vector<char> csv(kMaxCsvSize);
  CsvText text =
      ConvertToCsv(records.data(), static_cast<std::int32_t>(records.size()), count, csv.data());
  if (walked) *walked = text.records_walked;
  return std::string(csv.data(), text.size);
}

TEST(CsvConversion, NumbersLinesByRecordAndEndsThemInCrLf) {
  std::int32_t walked = 0;
  std::string csv =
      Convert(TrackBody({{47.5, -122.25}, {0.0, -360.0}, {-0.0, 0.0078125}}) + "x", 1000, &walked);
  EXPECT_EQ(csv, "47.500000 , -122.250000 , \"1\"\r\n-0.000000 , 0.007813 , \"3\"\r\n");
  EXPECT_EQ(walked, 3);
}

TEST(CsvConversion, LongestTrackFitsTheBuffer) {
  std::int32_t walked = 0;
  std::string body = TrackBody(std::vector<TrackPoint>(kMaxRecords, {-360.0, -359.9999999}));
  std::string csv = Convert(body, INT32_MAX, &walked);
  EXPECT_EQ(walked, 1365);
  EXPECT_EQ(csv.size(), kMaxCsvSize - 9 * 3 - 90 * 2 - 900 * 1);  // numbers 1 to 999 are shorter
  EXPECT_EQ(csv.substr(csv.size() - kMaxCsvLineLength), "-360.000000 , -360.000000 , \"1365\"\r\n");
}

TEST(CsvConversion, WritingOverTheRecordsGivesTheSameLines) {
  std::string body = TrackBody({{-359.9999999, -359.9999999}, {1e300, 0.0}, {-0.0, 360.0}});
  body += TrackBody(std::vector<TrackPoint>(kMaxRecords - 3, {-360.0, -359.9999999}));
  const std::string separate = Convert(body, INT32_MAX);
  std::vector<unsigned char> records(body.begin(), body.end());
  CsvText text = ConvertToCsv(records.data(), static_cast<std::int32_t>(records.size()), INT32_MAX,
                              reinterpret_cast<char*>(records.data()));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(records.data()), text.size), separate);
}

}  // namespace
