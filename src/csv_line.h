// One line of the CSV file: latitude, longitude and the record number, as
//   47.500000 , -122.250000 , "3"
// with no header line and no trailing separator.

#ifndef TRB2CSV_CSV_LINE_H_
#define TRB2CSV_CSV_LINE_H_

#include <cstddef>
#include <cstdint>

#include "fixed_point.h"

// Two numbers, the 11 characters of the lowest 32-bit number, separators.
constexpr std::size_t kCsvLineMaxLength = 2 * kFixed6MaxLength + 11 + sizeof(" ,  , \"\"") - 1;

// Records are written only if both coordinates lie within +-360 degrees;
// -360 itself is allowed for the latitude but not for the longitude.
// NaNs and infinities never pass.
bool InCoordinateRange(double latitude, double longitude);

// Writes the line, without a line end, and a terminating zero to line, which
// must hold kCsvLineMaxLength + 1 bytes. Returns the length written.
std::size_t FormatCsvLine(double latitude, double longitude, std::int32_t record_number,
                          char* line);

#endif  // TRB2CSV_CSV_LINE_H_
