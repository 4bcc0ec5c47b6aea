// Feeds arbitrary bytes as a track-tail file through the real loader and
// exporter and checks what they promise, not only that they survive:
// - the loaded byte count is the body length, at most the load limit, and
//   the limit notice comes exactly when the body reaches the limit;
// - the records walked are the whole loaded records, at most the point count;
// - every CSV line has the exact form and ends in CR LF, its numbers rise
//   strictly, and there is one line for each walked record in range;
// - every coordinate written lies within the bounds and within half a unit
//   of the sixth decimal of the stored value.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "converter_state.h"
#include "csv_exporter.h"
#include "csv_line.h"
#include "test.h"
#include "track_tail_loader.h"
#include "track_writer.h"

namespace {

int g_notices = 0;

void CountNotice(std::int32_t) { ++g_notices; }

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

double RecordValue(const std::uint8_t* data, std::size_t offset) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | data[offset + i];
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Reads "-?[0-9]+\.[0-9]{6}" at text; returns its length, 0 if it is not one.
std::size_t FixedNumberLength(const char* text) {
  std::size_t length = text[0] == '-' ? 1 : 0;
  std::size_t digits = 0;
  while (text[length] >= '0' && text[length] <= '9') ++length, ++digits;
  if (digits == 0 || text[length++] != '.') return 0;
  for (int i = 0; i < 6; ++i, ++length) {
    if (text[length] < '0' || text[length] > '9') return 0;
  }
  return length;
}

void CheckCoordinate(const char* text, double stored) {
  double written = std::strtod(text, nullptr);
  Check(written >= -360.0 && written <= 360.0, "coordinate within the bounds");
  // Half a unit of the sixth decimal, and the error of reading it back.
  Check(std::fabs(written - stored) <= 0.5e-6 + 1e-13, "coordinate rounded to 6 decimals");
}

void CheckCsv(const std::string& csv, const std::uint8_t* body, std::int32_t walked) {
  std::int32_t lines_expected = 0;
  for (std::int32_t number = 1; number <= walked; ++number) {
    std::size_t offset = static_cast<std::size_t>(number - 1) * kTrackPointRecordSize;
    if (InCoordinateRange(RecordValue(body, offset), RecordValue(body, offset + 8))) {
      ++lines_expected;
    }
  }

  std::int32_t lines = 0;
  long previous_number = 0;
  std::size_t position = 0;
  while (position < csv.size()) {
    const char* line = csv.c_str() + position;
    std::size_t latitude_length = FixedNumberLength(line);
    Check(latitude_length > 0, "latitude in fixed-point form");
    Check(std::strncmp(line + latitude_length, " , ", 3) == 0, "first separator");
    const char* longitude = line + latitude_length + 3;
    std::size_t longitude_length = FixedNumberLength(longitude);
    Check(longitude_length > 0, "longitude in fixed-point form");
    const char* tail = longitude + longitude_length;
    Check(std::strncmp(tail, " , \"", 4) == 0, "second separator and quote");
    char* end;
    long number = std::strtol(tail + 4, &end, 10);
    Check(end > tail + 4 && tail[4] >= '1' && tail[4] <= '9', "record number");
    Check(std::strncmp(end, "\"\r\n", 3) == 0, "closing quote and CR LF");
    Check(number > previous_number && number <= walked, "numbers rise within the walk");

    std::size_t offset = static_cast<std::size_t>(number - 1) * kTrackPointRecordSize;
    CheckCoordinate(line, RecordValue(body, offset));
    CheckCoordinate(longitude, RecordValue(body, offset + 8));
    previous_number = number;
    ++lines;
    position = static_cast<std::size_t>(end + 3 - csv.c_str());
  }
  Check(lines == lines_expected, "one line for each record in range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScopedTempDir dir;
  static const std::string input = dir.File("ceTrackTail.trb");
  static const std::string output = dir.File("KeloTrackTail.csv");
  Check(WriteFileBytes(input, std::string(reinterpret_cast<const char*>(data), size)),
        "input written");

  g_notices = 0;
  LoadResult load = LoadTrackTail(input.c_str(), CountNotice);
  Check(load.outcome == LoadOutcome::kOpened, "input opened");
  const std::size_t body_size = size > kTrackTailBodyOffset ? size - kTrackTailBodyOffset : 0;
  const std::size_t expected_loaded = body_size < kLoadLimit ? body_size : kLoadLimit;
  Check(g_loaded_byte_count == static_cast<std::int32_t>(expected_loaded), "loaded byte count");
  Check(g_notices == (body_size >= kLoadLimit ? 1 : 0), "limit notice at the limit only");
  if (g_loaded_byte_count == 0) return 0;

  std::uint32_t count_bits = static_cast<std::uint32_t>(data[200]) | data[201] << 8 |
                             data[202] << 16 | static_cast<std::uint32_t>(data[203]) << 24;
  const std::int32_t count = static_cast<std::int32_t>(count_bits);
  Check(load.header_point_count == count, "header point count");

  ExportResult result = ExportCsv(output.c_str(), count);
  Check(result.outcome == ExportOutcome::kWritten, "output written");
  std::int64_t whole_records = static_cast<std::int64_t>(expected_loaded) / kTrackPointRecordSize;
  std::int64_t expected_walked = count <= 0 ? 0 : (count < whole_records ? count : whole_records);
  Check(result.records_walked == expected_walked, "records walked");
  Check(result.records_walked <= 1365, "at most 1,365 records");
  CheckCsv(ReadFileBytes(output), data + kTrackTailBodyOffset, result.records_walked);
  return 0;
}
