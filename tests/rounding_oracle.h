// The six-decimal text of a coordinate as trb2csv must write it, worked out
// apart from the converter's formatter, for the unit tests and the fuzz
// target: glibc rounds "%f" correctly from the exact binary value, but exact
// halves (the odd multiples of 1/128) to even; those are worked out in whole
// millionths instead and rounded away from zero.

#ifndef TRB2CSV_TESTS_ROUNDING_ORACLE_H_
#define TRB2CSV_TESTS_ROUNDING_ORACLE_H_

#include <cmath>
#include <cstdio>
#include <cstdlib>

inline bool IsExactHalf(double value) {
  const double in_128ths = value * 128;  // exact
  return in_128ths == std::floor(in_128ths) && std::fmod(in_128ths, 2) != 0;
}

// Good for |value| below 2^42, as the formatter is.
inline void ReferenceText(double value, char (&text)[64]) {
  if (IsExactHalf(value)) {
    // value * 10^6 = (value * 128) * 15625 / 2: a half, rounded up in magnitude.
    const long long millionths = (std::llabs(static_cast<long long>(value * 128)) * 15625 + 1) / 2;
    std::snprintf(text, sizeof text, "%s%lld.%06lld", value < 0 ? "-" : "", millionths / 1000000,
                  millionths % 1000000);
  } else {
    std::snprintf(text, sizeof text, "%f", value);
  }
}

#endif  // TRB2CSV_TESTS_ROUNDING_ORACLE_H_
