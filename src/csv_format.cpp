#include "csv_format.h"

#include <cstring>

namespace {

// "00" to "99", so that digits are written two at a time.
struct DigitPairs {
  char digits[200];
  constexpr DigitPairs() : digits() {
    for (std::size_t i = 0; i < 100; ++i) {
      digits[2 * i] = static_cast<char>('0' + i / 10);
      digits[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kDigitPairs;

void FormatPair(std::uint32_t pair, char* text) {
  std::memcpy(text, &kDigitPairs.digits[std::size_t{2} * pair], 2);
}

// Values here have at most 13 digits.
char* FormatInteger(std::uint64_t value, char* text) {
  int length = 1;
  for (std::uint64_t power = 10; value >= power; power *= 10) ++length;
  char* digit = text + length;
  for (; value >= 100; value /= 100) {
    digit -= 2;
    FormatPair(static_cast<std::uint32_t>(value % 100), digit);
  }
  if (value >= 10) {
    FormatPair(static_cast<std::uint32_t>(value), digit - 2);
  } else {
    digit[-1] = static_cast<char>('0' + value);
  }
  return text + length;
}

}  // namespace

bool InCoordinateRange(double latitude, double longitude) {
  return latitude >= -360.0 && latitude <= 360.0 && longitude > -360.0 && longitude <= 360.0;
}

char* FormatFixed6(double value, char* text) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if (bits >> 63) *text++ = '-';
  const int biased_exponent = static_cast<int>(bits >> 52 & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased_exponent != 0) mantissa |= std::uint64_t{1} << 52;

  // A binary64 value is mantissa * 2^(exponent - kExponentBias - 52), with
  // exponent 1 for the subnormals, so |value| = mantissa / 2^(1075 -
  // exponent). With 10^6 = 15625 * 2^6, |value| * 10^6 = mantissa * 15625 /
  // 2^shift exactly, where shift = 1075 - 6 - exponent. The product needs up
  // to 67 bits: take it in eighths, which fit in 64.
  constexpr int kExponentBias = 1023;
  constexpr int kMantissaBits = 52;
  constexpr int kTwosOfAMillion = 6;  // 10^6 = 15625 * 2^6
  const int exponent = biased_exponent != 0 ? biased_exponent : 1;
  const int shift = kExponentBias + kMantissaBits - kTwosOfAMillion - exponent;
  const std::uint64_t eighths = (mantissa >> 3) * 15625 + ((mantissa & 7) * 15625 >> 3);
  const int halves_shift = shift - 4;  // |value| * 10^6 * 2 = eighths / 2^halves_shift
  const std::uint64_t halves = halves_shift < 64 ? eighths >> halves_shift : 0;
  // A half or more rounds up: exact halves go away from zero.
  const std::uint64_t millionths = (halves + 1) >> 1;

  text = FormatInteger(millionths / 1000000, text);
  *text++ = '.';
  const auto decimals = static_cast<std::uint32_t>(millionths % 1000000);
  FormatPair(decimals / 10000, text);
  FormatPair(decimals / 100 % 100, text + 2);
  FormatPair(decimals % 100, text + 4);
  return text + 6;
}

std::int32_t RecordsToWalk(std::int32_t header_point_count, std::int32_t loaded_byte_count) {
  if (header_point_count <= 0 || loaded_byte_count <= 0) return 0;
  const std::int32_t whole_records = loaded_byte_count / kRecordSize;
  return header_point_count < whole_records ? header_point_count : whole_records;
}

CsvText ConvertToCsv(const unsigned char* records, std::int32_t loaded_byte_count,
                     std::int32_t header_point_count, char* csv) {
  char* end = csv;
  std::int32_t lines = 0;
  const std::int32_t records_walked =
      WalkRecords(records, loaded_byte_count, header_point_count,
                  [&end, &lines](std::int32_t number, double latitude, double longitude) {
                    end = Append(FormatFixed6(latitude, end), " , ");
                    end = Append(FormatFixed6(longitude, end), " , \"");
                    end = Append(FormatInteger(static_cast<std::uint64_t>(number), end), "\"\r\n");
                    ++lines;
                  });
  return {static_cast<std::size_t>(end - csv), records_walked, lines};
}
