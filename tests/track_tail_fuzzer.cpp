// Feeds arbitrary bytes as a track-tail file through the CSV conversion, in
// memory, and checks what it promises, not only that it survives:
// - it reads nothing but the whole records among the loaded bytes (the
//   sanitizer sees any read past them: the fuzzer's buffer ends there);
// - the records walked are the whole loaded records, at most the point count;
// - every CSV line has the exact form and ends in CR LF, its numbers rise
//   strictly, and there is one line for each walked record in range;
// - every coordinate is written exactly as the C library's "%f" writes it,
//   but with exact halves rounded away from zero.
// The oracle shares with the conversion only the decoding of the file's
// bytes: the walk and the range bounds are written out here again, and the
// rounding rule is rounding_oracle.h's, which the unit tests use too.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "csv_format.h"
#include "rounding_oracle.h"
#include "track_tail_format.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

unsigned DigitAt(const char* text) { return static_cast<unsigned char>(*text) - unsigned{'0'}; }

bool InRange(double latitude, double longitude) {
  return latitude >= -360.0 && latitude <= 360.0 && longitude > -360.0 && longitude <= 360.0;
}

// Checks the coordinate written at text against the stored value; returns
// the end of the number.
const char* CheckCoordinate(const char* text, double stored) {
  char expected[64];
  ReferenceText(stored, expected);
  const std::size_t length = std::strlen(expected);
  Check(std::strncmp(text, expected, length) == 0, "coordinate written as %f writes it");
  return text + length;
}

bool StartsWith(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (*text != *prefix) return false;
  }
  return true;
}

// Walks the records and the lines together: each record in range must have
// the next line, with its number. The text ends in a zero byte, so no check
// reads past it.
void CheckCsv(const char* csv, std::size_t size, const std::uint8_t* body, std::int32_t walked) {
  const char* line = csv;
  for (std::int32_t number = 1; number <= walked; ++number) {
    const std::uint8_t* record = body + static_cast<std::size_t>(number - 1) * kRecordSize;
    const double latitude = DecodeDouble(record + kLatitudeOffset);
    const double longitude = DecodeDouble(record + kLongitudeOffset);
    if (!InRange(latitude, longitude)) continue;

    Check(line < csv + size, "a line for each record in range");
    const char* separator = CheckCoordinate(line, latitude);
    Check(StartsWith(separator, " , "), "first separator");
    const char* tail = CheckCoordinate(separator + 3, longitude);
    Check(StartsWith(tail, " , \""), "second separator and quote");
    const char* digit = tail + 4;
    Check(*digit != '0', "no leading zero in the number");
    std::int32_t written_number = 0;
    for (unsigned d; (d = DigitAt(digit)) <= 9 && written_number <= walked; ++digit) {
      written_number = written_number * 10 + static_cast<std::int32_t>(d);
    }
    Check(written_number == number, "the record's own number");
    Check(StartsWith(digit, "\"\r\n"), "closing quote and CR LF");
    line = digit + 3;
  }
  Check(line == csv + size, "no line for a record out of range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < static_cast<std::size_t>(kBodyOffset)) return 0;  // nothing is loaded
  const std::size_t body_size = size - kBodyOffset;
  const auto loaded = static_cast<std::int32_t>(body_size < kLoadLimit ? body_size : kLoadLimit);
  const std::int32_t count = DecodeInt32(data + kPointCountOffset);

  static char csv[kMaxCsvSize + 1];
  const CsvText text = ConvertToCsv(data + kBodyOffset, loaded, count, csv);
  const std::int64_t whole_records = loaded / kRecordSize;
  const std::int64_t expected_walked =
      count <= 0 ? 0 : (count < whole_records ? count : whole_records);
  Check(text.records_walked == expected_walked, "records walked");
  Check(text.records_walked <= 1365, "at most 1,365 records");
  Check(text.size <= kMaxCsvSize, "the text fits its buffer");
  csv[text.size] = '\0';
  CheckCsv(csv, text.size, data + kBodyOffset, text.records_walked);
  return 0;
}
