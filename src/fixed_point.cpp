#include "fixed_point.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint32_t kScale = 1000000;  // 10^6, one unit of the sixth decimal
constexpr int kDecimals = 6;

// An unsigned integer large enough for the largest double times 10^6
// (just below 2^1044), as 32-bit limbs, lowest first.
class BigUnsigned {
 public:
  explicit BigUnsigned(std::uint64_t value) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    used_ = 2;
    Trim();
  }

  // The product must fit; the largest double times 10^6 does.
  void Multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (int i = 0; i < used_; ++i) {
      std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0 && used_ < kLimbs) limbs_[used_++] = static_cast<std::uint32_t>(carry);
  }

  // Divides in place and returns the remainder.
  std::uint32_t Divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = used_ - 1; i >= 0; --i) {
      std::uint64_t dividend = remainder << 32 | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(dividend / divisor);
      remainder = dividend % divisor;
    }
    Trim();
    return static_cast<std::uint32_t>(remainder);
  }

  void ShiftLeft(int bits) { Shift(bits); }
  void ShiftRight(int bits) { Shift(-bits); }

  bool Bit(int index) const {
    if (index < 0 || index >= kLimbs * 32) return false;
    return (limbs_[index / 32] >> (index % 32)) & 1;
  }

  void Increment() {
    for (int i = 0; i < kLimbs; ++i) {
      if (++limbs_[i] != 0) {
        used_ = std::max(used_, i + 1);
        break;
      }
    }
  }

  bool IsZero() const { return used_ == 0; }

 private:
  static constexpr int kLimbs = 34;

  // Positive bits shift towards the high end. Bits shifted out are lost.
  void Shift(int bits) {
    const int limb_shift = (bits >= 0 ? bits : -bits) / 32;
    const int bit_shift = (bits >= 0 ? bits : -bits) % 32;
    // Only the limbs that can receive bits are computed.
    const int result_limbs =
        bits >= 0 ? std::min(kLimbs, used_ + limb_shift + 1) : std::max(0, used_ - limb_shift);
    std::uint32_t shifted[kLimbs] = {};
    for (int to = 0; to < result_limbs; ++to) {
      // Each limb of the result takes its bits from two neighbouring limbs.
      if (bits >= 0) {
        int from = to - limb_shift;
        std::uint64_t pair = std::uint64_t{Limb(from)} << 32 | Limb(from - 1);
        shifted[to] = static_cast<std::uint32_t>((pair << bit_shift) >> 32);
      } else {
        int from = to + limb_shift;
        std::uint64_t pair = std::uint64_t{Limb(from + 1)} << 32 | Limb(from);
        shifted[to] = static_cast<std::uint32_t>(pair >> bit_shift);
      }
    }
    std::memcpy(limbs_, shifted, sizeof limbs_);
    used_ = result_limbs;
    Trim();
  }

  std::uint32_t Limb(int index) const { return index >= 0 && index < kLimbs ? limbs_[index] : 0; }

  void Trim() {
    while (used_ > 0 && limbs_[used_ - 1] == 0) --used_;
  }

  std::uint32_t limbs_[kLimbs] = {};
  int used_;  // the limbs from this one on are zero
};

// Values from 2^-8 up to 2^53 in magnitude (all but the smallest
// coordinates) take this path: the fraction's bits times 10 still fit in 64
// bits, so the decimals can be taken one at a time without big numbers.
constexpr int kMaxFastShift = 60;

// Writes mantissa / 2^shift with six decimals, rounded, halves away from
// zero. Returns the length written.
std::size_t WriteFast(std::uint64_t mantissa, int shift, char* text) {
  const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
  std::uint64_t integer = mantissa >> shift;
  std::uint64_t fraction = mantissa & mask;
  char decimals[kDecimals];
  for (char& decimal : decimals) {
    fraction *= 10;
    decimal = static_cast<char>('0' + (fraction >> shift));
    fraction &= mask;
  }
  if (fraction >> (shift - 1)) {  // the rest is at least one half
    int i = kDecimals - 1;
    while (i >= 0 && decimals[i] == '9') decimals[i--] = '0';
    if (i >= 0) {
      ++decimals[i];
    } else {
      ++integer;
    }
  }

  char reversed[20];  // the digits of the integer part, lowest first
  std::size_t digit_count = 0;
  do {
    reversed[digit_count++] = static_cast<char>('0' + integer % 10);
    integer /= 10;
  } while (integer != 0);
  std::size_t length = 0;
  while (digit_count > 0) text[length++] = reversed[--digit_count];
  text[length++] = '.';
  for (char decimal : decimals) text[length++] = decimal;
  text[length] = '\0';
  return length;
}

std::size_t WriteSpecial(bool negative, const char* word, char* text) {
  std::size_t length = 0;
  if (negative) text[length++] = '-';
  for (const char* c = word; *c; ++c) text[length++] = *c;
  text[length] = '\0';
  return length;
}

}  // namespace

std::size_t FormatFixed6(double value, char* text) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

  if (biased_exponent == 0x7FF) return WriteSpecial(negative, fraction ? "nan" : "inf", text);

  // |value| = mantissa * 2^exponent exactly.
  std::uint64_t mantissa = fraction;
  int exponent = -1074;
  if (biased_exponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased_exponent - 1075;
  }

  if (exponent < 0 && exponent >= -kMaxFastShift) {
    std::size_t sign = negative ? 1 : 0;
    text[0] = '-';
    return sign + WriteFast(mantissa, -exponent, text + sign);
  }

  // units = |value| * 10^6, rounded to an integer, halves away from zero.
  BigUnsigned units(mantissa);
  units.Multiply(kScale);
  if (exponent >= 0) {
    units.ShiftLeft(exponent);
  } else {
    bool half_or_more = units.Bit(-exponent - 1);
    units.ShiftRight(-exponent);
    if (half_or_more) units.Increment();
  }

  // Digits come lowest first; there are at least kDecimals + 1 of them.
  char reversed[kFixed6MaxLength];
  std::size_t digit_count = 0;
  while (!units.IsZero() || digit_count < kDecimals + 1) {
    reversed[digit_count++] = static_cast<char>('0' + units.Divide(10));
  }

  std::size_t length = 0;
  if (negative) text[length++] = '-';
  while (digit_count > 0) {
    if (digit_count == kDecimals) text[length++] = '.';
    text[length++] = reversed[--digit_count];
  }
  text[length] = '\0';
  return length;
}
