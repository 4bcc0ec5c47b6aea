#include "fixed_point.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string Fixed6(double value) {
  char text[kFixed6MaxLength + 1];
  std::size_t length = FormatFixed6(value, text);
  EXPECT_EQ(length, std::strlen(text));
  return text;
}

// An exact half at the sixth decimal is an odd multiple of 1/128.
bool IsExactHalf(double value) {
  double scaled = value * 128;
  return std::floor(scaled) == scaled && std::fmod(scaled, 2) != 0;
}

TEST(FixedPoint, WritesSixDecimalsWithoutPadding) {
  EXPECT_EQ(Fixed6(0.0), "0.000000");
  EXPECT_EQ(Fixed6(47.5), "47.500000");
  EXPECT_EQ(Fixed6(-122.25), "-122.250000");
  EXPECT_EQ(Fixed6(360.0), "360.000000");
  EXPECT_EQ(Fixed6(1.0), "1.000000");
  EXPECT_EQ(Fixed6(0.5), "0.500000");
  EXPECT_EQ(Fixed6(1e15), "1000000000000000.000000");
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
  EXPECT_EQ(Fixed6(-63869360100870.3203125), "-63869360100870.320313");
}

TEST(FixedPoint, RoundsFromTheExactBinaryValue) {
  EXPECT_EQ(Fixed6(12.3456785), "12.345678");  // nearest double just below the half
  EXPECT_EQ(Fixed6(15.5720615), "15.572062");  // nearest double just above the half
  EXPECT_EQ(Fixed6(-359.9999999), "-360.000000");
  EXPECT_EQ(Fixed6(0.0000005), "0.000000");  // stored a little below the half
  EXPECT_EQ(Fixed6(0.9999995), "1.000000");  // stored a little above the half
  EXPECT_EQ(Fixed6(9.9999995), "9.999999");
  EXPECT_EQ(Fixed6(99.9999996), "100.000000");
}

TEST(FixedPoint, WritesExtremeValuesWhole) {
  std::string largest = Fixed6(DBL_MAX);
  EXPECT_EQ(largest.size(), 309u + 7u);
  EXPECT_EQ(largest.substr(0, 10), "1797693134");
  EXPECT_EQ(largest.substr(largest.size() - 7), ".000000");
  EXPECT_EQ(Fixed6(-DBL_MAX).size(), kFixed6MaxLength);
  EXPECT_EQ(Fixed6(std::ldexp(1.0, 64)), "18446744073709551616.000000");
}

TEST(FixedPoint, WritesInfinitiesAndNaNs) {
  EXPECT_EQ(Fixed6(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(Fixed6(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(Fixed6(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(Fixed6(-std::numeric_limits<double>::quiet_NaN()), "-nan");
}

// glibc rounds correctly from the exact value too, but exact halves to even:
// away from the halves both must agree digit for digit.
TEST(FixedPoint, AgreesWithCorrectlyRoundingPrintfAwayFromHalves) {
  std::mt19937_64 random(20260512);
  int compared = 0;
  for (int i = 0; i < 200000; ++i) {
    double value;
    if (i % 2 == 0) {
      std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
      if (!std::isfinite(value)) continue;
    } else {
      // Mostly coordinates, with few significant bits now and then.
      value = std::uniform_real_distribution<double>(-400.0, 400.0)(random);
      if (i % 3 == 0) value = std::round(value * 4096) / 4096;
    }
    if (IsExactHalf(value)) continue;
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", value);
    ASSERT_EQ(Fixed6(value), expected) << "bits of " << value;
    ++compared;
  }
  EXPECT_GT(compared, 150000);
}

TEST(FixedPoint, RoundsEveryHalfBetweenCoordinatesAwayFromZero) {
  for (int odd = -360 * 128 + 1; odd < 360 * 128; odd += 2) {
    // odd / 128 * 10^6 = odd * 15625 / 2: a half, rounded up in magnitude.
    long long units = (std::llabs(odd) * 15625LL + 1) / 2;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%s%lld.%06lld", odd < 0 ? "-" : "", units / 1000000,
                  units % 1000000);
    ASSERT_EQ(Fixed6(odd / 128.0), expected);
  }
}

}  // namespace
