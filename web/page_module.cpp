// The web page's converter: the console program's track-tail rules and CSV
// format, compiled to WebAssembly. The page copies the file's name (without
// its extension) to name() and the first input_capacity() bytes of the file
// to input(), calls convert() with their number, and reads the counts, the
// points on the earth and the warning back; the CSV and the map tracks are
// written only when they are saved (write_csv(), write_map()), from the same
// input. One file at a time; everything is static.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "csv_format.h"
#include "map_formats.h"
#include "track_tail_check.h"
#include "track_tail_format.h"

#define PAGE_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

// No more of a file is ever taken.
unsigned char g_input[kBodyOffset + kLoadLimit];
char g_name[kMaxTrackNameSize + 1];
char g_csv[kMaxCsvSize];
char g_track[kMaxMapTrackSize];
double g_points[2 * kMaxRecords];
double g_longitudes[kMaxRecords];  // of the points, unwrapped

struct Conversion {
  TrackTailLoad load;
  std::int32_t records_walked;
  std::int32_t csv_lines;
  std::int32_t points;  // lines whose position is on the earth
  double length;        // metres along those points
  char doubts[kMaxDoubtsSize];
  std::size_t doubts_size;
} g_conversion;

// The texts of a format: its name, extension and media type, a document's
// head, its separator between tracks, and its tail.
enum MapPart { kName, kExtension, kMediaType, kHead, kSeparator, kTail };

const char* MapPartText(int format, int part) {
  const MapDocument document = DocumentOf(static_cast<MapFormat>(format));
  switch (part) {
    case kName:
      return document.name;
    case kExtension:
      return document.extension;
    case kMediaType:
      return document.media_type;
    case kHead:
      return document.head;
    case kSeparator:
      return document.separator;
    default:
      return document.tail;
  }
}

}  // namespace

PAGE_EXPORT("input") unsigned char* Input() { return g_input; }
PAGE_EXPORT("input_capacity") std::size_t InputCapacity() { return sizeof g_input; }
PAGE_EXPORT("name") char* Name() { return g_name; }
PAGE_EXPORT("name_capacity") std::size_t NameCapacity() { return kMaxTrackNameSize; }

// size: the bytes in input(); file_size: the whole file's (a double, as
// JavaScript's numbers are).
PAGE_EXPORT("convert") void Convert(std::size_t size, double file_size) {
  Conversion& c = g_conversion;
  c.load = MeasureTrackTail(g_input, size);
  const std::int32_t loaded = c.load.loaded_byte_count;
  const std::int32_t count = c.load.header_point_count;
  std::int32_t lines = 0;
  c.records_walked = WalkRecords(g_input + kBodyOffset, loaded, count,
                                 [&lines](std::int32_t, double, double) { ++lines; });
  c.csv_lines = lines;
  c.points = TakePointsOnTheEarth(g_input + kBodyOffset, loaded, count, g_points);
  c.length = TrackLength(g_points, c.points);
  UnwrapLongitudes(g_points, c.points, g_longitudes);
  c.doubts_size = DescribeDoubts(count, static_cast<std::uint64_t>(file_size), c.records_walked,
                                 c.csv_lines, c.doubts);
}

// The CSV lines of the file converted last, into csv(); returns their size.
PAGE_EXPORT("write_csv") std::size_t WriteCsv() {
  const TrackTailLoad& load = g_conversion.load;
  return ConvertToCsv(g_input + kBodyOffset, load.loaded_byte_count, load.header_point_count, g_csv)
      .size;
}

// The track of the file converted last in the format, named name(), into
// map_track(); returns its size, 0 if no point is on the earth.
PAGE_EXPORT("write_map") std::size_t WriteMap(int format) {
  const TrackTailLoad& load = g_conversion.load;
  return WriteMapTrack(static_cast<MapFormat>(format), g_name, g_input + kBodyOffset,
                       load.loaded_byte_count, load.header_point_count, g_track);
}
PAGE_EXPORT("map_track") const char* MapTrack() { return g_track; }

// The track-tail format's numbers, for the page's messages.
PAGE_EXPORT("body_offset") std::int32_t BodyOffset() { return kBodyOffset; }
PAGE_EXPORT("record_size") std::int32_t RecordSize() { return kRecordSize; }
PAGE_EXPORT("load_limit") std::int32_t LoadLimit() { return kLoadLimit; }
PAGE_EXPORT("max_records") std::int32_t MaxRecords() { return kMaxRecords; }

PAGE_EXPORT("header_point_count") std::int32_t HeaderPointCount() {
  return g_conversion.load.header_point_count;
}
PAGE_EXPORT("loaded_byte_count") std::int32_t LoadedByteCount() {
  return g_conversion.load.loaded_byte_count;
}
PAGE_EXPORT("records_walked") std::int32_t RecordsWalked() { return g_conversion.records_walked; }
PAGE_EXPORT("csv_lines") std::int32_t CsvLines() { return g_conversion.csv_lines; }
PAGE_EXPORT("csv") const char* Csv() { return g_csv; }
// format: 0 to map_formats() - 1; part: one of the part_ numbers below.
PAGE_EXPORT("map_formats") int MapFormats() { return kMapFormats; }
PAGE_EXPORT("part_name") int PartName() { return kName; }
PAGE_EXPORT("part_extension") int PartExtension() { return kExtension; }
PAGE_EXPORT("part_media_type") int PartMediaType() { return kMediaType; }
PAGE_EXPORT("part_head") int PartHead() { return kHead; }
PAGE_EXPORT("part_separator") int PartSeparator() { return kSeparator; }
PAGE_EXPORT("part_tail") int PartTail() { return kTail; }
PAGE_EXPORT("map_part") const char* MapPart(int format, int part) {
  return MapPartText(format, part);
}
PAGE_EXPORT("map_part_size") std::size_t MapPartSize(int format, int part) {
  return std::strlen(MapPartText(format, part));
}
PAGE_EXPORT("points") const double* Points() { return g_points; }
PAGE_EXPORT("point_count") std::int32_t PointCount() { return g_conversion.points; }
PAGE_EXPORT("track_length") double Length() { return g_conversion.length; }
// The points' longitudes each the shorter way round from the one before, as
// the drawing takes them, and the rule itself, for one track after another.
PAGE_EXPORT("unwrapped_longitudes") const double* UnwrappedLongitudes() { return g_longitudes; }
PAGE_EXPORT("shorter_way_round") double ShorterWay(double from, double to) {
  return ShorterWayRound(from, to);
}
PAGE_EXPORT("earth_radius") double EarthRadius() { return kEarthRadius; }
// Why the file does not look like a track-tail file; empty if it does.
PAGE_EXPORT("doubts") const char* Doubts() { return g_conversion.doubts; }
PAGE_EXPORT("doubts_size") std::size_t DoubtsSize() { return g_conversion.doubts_size; }
