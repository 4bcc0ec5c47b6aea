#include "csv_line.h"

bool InCoordinateRange(double latitude, double longitude) {
  return latitude >= -360.0 && latitude <= 360.0 && longitude > -360.0 && longitude <= 360.0;
}

std::size_t FormatCsvLine(double latitude, double longitude, std::int32_t record_number,
                          char* line) {
  std::size_t length = FormatFixed6(latitude, line);
  line[length++] = ' ';
  line[length++] = ',';
  line[length++] = ' ';
  length += FormatFixed6(longitude, line + length);
  for (const char* c = " , \""; *c; ++c) line[length++] = *c;

  // The digits of the number, lowest first; the magnitude is taken unsigned
  // so that the lowest 32-bit value has one too.
  std::uint32_t magnitude = static_cast<std::uint32_t>(record_number);
  if (record_number < 0) {
    line[length++] = '-';
    magnitude = 0U - magnitude;
  }
  char reversed[10];
  std::size_t digit_count = 0;
  do {
    reversed[digit_count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (digit_count > 0) line[length++] = reversed[--digit_count];

  line[length++] = '"';
  line[length] = '\0';
  return length;
}
