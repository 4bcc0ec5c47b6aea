// The CSV file trb2csv writes: one line for each walked record whose
// coordinates are in range,
//
//   47.500000 , -122.250000 , "3"
//
// latitude and longitude with six decimals, the record's number in double
// quotes, CR LF at the end on every platform, no header line and no trailing
// separator. A record left out by the range filter keeps its number, so the
// numbers show a gap there.

#ifndef TRB2CSV_CSV_FORMAT_H_
#define TRB2CSV_CSV_FORMAT_H_

#include <cstddef>
#include <cstdint>

#include "track_tail_format.h"

// The longest line: both coordinates at their longest and the highest number.
constexpr std::size_t kMaxCsvLineLength = sizeof("-360.000000 , -360.000000 , \"1365\"\r\n") - 1;
static_assert(kMaxRecords <= 9999, "record numbers have at most four digits");
constexpr std::size_t kMaxCsvSize = kMaxRecords * kMaxCsvLineLength;

// A record is written only if both coordinates lie within +-360 degrees;
// -360 itself is allowed for the latitude but not for the longitude. NaNs
// and infinities never pass.
bool InCoordinateRange(double latitude, double longitude);

// Writes the value as "%f" would, with six decimals, but with one rounding
// rule on every platform and in every locale: correctly rounded from the
// exact binary value, exact halves (odd multiples of 1/128) away from zero,
// a minus sign whenever the sign bit is set ("-0.000000"), at least one digit
// before the full stop. Good for |value| < 2^42, which every coordinate in
// range is. Returns the end of the text; no terminating zero is written.
char* FormatFixed6(double value, char* text);

// Writes the literal's characters, without its terminating zero. Returns the
// end of the text.
template <std::size_t kSize>
char* Append(char* text, const char (&literal)[kSize]) {
  for (std::size_t i = 0; i + 1 < kSize; ++i) *text++ = literal[i];
  return text;
}

// Number of records walked: the whole records loaded, but no more than the
// header point count, and none if it is not positive.
std::int32_t RecordsToWalk(std::int32_t header_point_count, std::int32_t loaded_byte_count);

// Walks the loaded records and calls write_line(number, latitude, longitude)
// for each one that gets a CSV line, in order. Returns the records walked.
template <typename WriteLine>
std::int32_t WalkRecords(const unsigned char* records, std::int32_t loaded_byte_count,
                         std::int32_t header_point_count, WriteLine write_line) {
  const std::int32_t records_walked = RecordsToWalk(header_point_count, loaded_byte_count);
  for (std::int32_t number = 1; number <= records_walked; ++number) {
    const unsigned char* record = records + static_cast<std::size_t>(number - 1) * kRecordSize;
    const double latitude = DecodeDouble(record + kLatitudeOffset);
    const double longitude = DecodeDouble(record + kLongitudeOffset);
    if (InCoordinateRange(latitude, longitude)) write_line(number, latitude, longitude);
  }
  return records_walked;
}

struct CsvText {
  std::size_t size;             // bytes written to the buffer
  std::int32_t records_walked;  // including those left out by the filter
  std::int32_t lines;
};

// Converts the loaded records into the CSV lines, in csv, which must hold
// kMaxCsvSize bytes. Reads only the whole records among the first
// loaded_byte_count bytes of records. csv may be the records themselves: no
// line is longer than a record, and each record is read before its line is
// written, so a line never overwrites a record still to be read.
static_assert(kMaxCsvLineLength <= kRecordSize, "lines may replace their records");
CsvText ConvertToCsv(const unsigned char* records, std::int32_t loaded_byte_count,
                     std::int32_t header_point_count, char* csv);

#endif  // TRB2CSV_CSV_FORMAT_H_
