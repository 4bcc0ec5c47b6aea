// Fixed-point formatting of doubles with six decimals, as "%f" writes them,
// but with one rounding rule on every platform and in every locale:
// - the value is rounded correctly from its exact binary value;
// - exact halves at the sixth decimal (the odd multiples of 1/128) are
//   rounded away from zero: 0.0078125 gives "0.007813";
// - a minus sign is written whenever the sign bit is set: "-0.000000";
// - at least one digit before the full stop, no plus sign, no padding.
// Infinities and NaNs are written as "inf" and "nan", signed likewise.

#ifndef TRB2CSV_FIXED_POINT_H_
#define TRB2CSV_FIXED_POINT_H_

#include <cstddef>

// Sign, the 309 integer digits of the largest double, full stop, 6 decimals.
constexpr std::size_t kFixed6MaxLength = 1 + 309 + 1 + 6;

// Writes the value and a terminating zero to text, which must hold
// kFixed6MaxLength + 1 bytes. Returns the length written.
std::size_t FormatFixed6(double value, char* text);

#endif  // TRB2CSV_FIXED_POINT_H_
