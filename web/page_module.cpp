// The web page's converter: the console program's track-tail rules and CSV
// format, compiled to WebAssembly. The page copies the first input_capacity()
// bytes of a file to input(), calls convert() with their number, and reads
// the counts and texts back. One file at a time; everything is static.

#include <cstddef>
#include <cstdint>

#include "csv_format.h"
#include "map_formats.h"
#include "track_tail_format.h"

#define PAGE_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

// No more of a file is ever taken.
unsigned char g_input[kBodyOffset + kLoadLimit];
char g_csv[kMaxCsvSize];
char g_gpx[kMaxGpxSize];
char g_kml[kMaxKmlSize];
double g_points[2 * kMaxRecords];

struct Conversion {
  TrackTailLoad load;
  std::int32_t records_walked;
  std::int32_t csv_lines;
  std::size_t csv_size;
  std::size_t gpx_size;
  std::size_t kml_size;
  std::int32_t points;  // lines whose position is on the earth
} g_conversion;

}  // namespace

PAGE_EXPORT("input") unsigned char* Input() { return g_input; }
PAGE_EXPORT("input_capacity") std::size_t InputCapacity() { return sizeof g_input; }

PAGE_EXPORT("convert") void Convert(std::size_t size) {
  Conversion& c = g_conversion;
  c.load = TakeTrackTail(g_input, size);
  const unsigned char* records = g_input + kBodyOffset;
  const std::int32_t loaded = c.load.loaded_byte_count;
  const std::int32_t count = c.load.header_point_count;
  const CsvText csv = ConvertToCsv(records, loaded, count, g_csv);
  c.records_walked = csv.records_walked;
  c.csv_size = csv.size;
  c.csv_lines = 0;
  for (std::size_t i = 0; i < csv.size; ++i) c.csv_lines += g_csv[i] == '\n';
  c.gpx_size = WriteGpx(records, loaded, count, g_gpx);
  c.kml_size = WriteKml(records, loaded, count, g_kml);
  c.points = TakePointsOnTheEarth(records, loaded, count, g_points);
}

PAGE_EXPORT("header_point_count") std::int32_t HeaderPointCount() {
  return g_conversion.load.header_point_count;
}
PAGE_EXPORT("loaded_byte_count") std::int32_t LoadedByteCount() {
  return g_conversion.load.loaded_byte_count;
}
PAGE_EXPORT("load_limit") std::int32_t LoadLimit() { return kLoadLimit; }
PAGE_EXPORT("records_walked") std::int32_t RecordsWalked() { return g_conversion.records_walked; }
PAGE_EXPORT("csv_lines") std::int32_t CsvLines() { return g_conversion.csv_lines; }
PAGE_EXPORT("csv") const char* Csv() { return g_csv; }
PAGE_EXPORT("csv_size") std::size_t CsvSize() { return g_conversion.csv_size; }
PAGE_EXPORT("gpx") const char* Gpx() { return g_gpx; }
PAGE_EXPORT("gpx_size") std::size_t GpxSize() { return g_conversion.gpx_size; }
PAGE_EXPORT("kml") const char* Kml() { return g_kml; }
PAGE_EXPORT("kml_size") std::size_t KmlSize() { return g_conversion.kml_size; }
PAGE_EXPORT("points") const double* Points() { return g_points; }
PAGE_EXPORT("point_count") std::int32_t PointCount() { return g_conversion.points; }
