#include "csv_exporter.h"

#include <cstdio>
#include <cstring>

#include "converter_state.h"
#include "csv_line.h"
#include "file_access.h"

namespace {

char g_line_buffer[1000];

// The stream's buffer: it holds the lines of the largest track in range
// (1,365 lines of at most 36 bytes), so the file is written in one go.
char g_output_buffer[65536];
static_assert(sizeof g_line_buffer >= kCsvLineMaxLength + 2, "a line and CR LF must fit");

double DecodeDouble(const unsigned char* bytes) {
  std::uint64_t bits = std::uint64_t{bytes[0]} | std::uint64_t{bytes[1]} << 8 |
                       std::uint64_t{bytes[2]} << 16 | std::uint64_t{bytes[3]} << 24 |
                       std::uint64_t{bytes[4]} << 32 | std::uint64_t{bytes[5]} << 40 |
                       std::uint64_t{bytes[6]} << 48 | std::uint64_t{bytes[7]} << 56;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

std::int32_t RecordsToWalk(std::int32_t header_point_count, std::int32_t loaded_byte_count) {
  if (header_point_count <= 0 || loaded_byte_count <= 0) return 0;
  std::int32_t whole_records = loaded_byte_count / kTrackPointRecordSize;
  return header_point_count < whole_records ? header_point_count : whole_records;
}

ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count) {
  std::FILE* output = OpenOutputFile(output_name);
  if (!output) return {ExportOutcome::kCannotOpen, 0};
  std::setvbuf(output, g_output_buffer, _IOFBF, sizeof g_output_buffer);

  const std::int32_t records = RecordsToWalk(header_point_count, g_loaded_byte_count);
  bool write_failed = false;
  for (std::int32_t number = 1; number <= records && !write_failed; ++number) {
    const unsigned char* record =
        g_record_buffer + static_cast<std::size_t>(number - 1) * kTrackPointRecordSize;
    double latitude = DecodeDouble(record);
    double longitude = DecodeDouble(record + 8);
    if (!InCoordinateRange(latitude, longitude)) continue;
    std::size_t length = FormatCsvLine(latitude, longitude, number, g_line_buffer);
    g_line_buffer[length++] = '\r';
    g_line_buffer[length++] = '\n';
    write_failed = std::fwrite(g_line_buffer, 1, length, output) != length;
  }
  write_failed = write_failed || std::fflush(output) != 0;
  write_failed = std::fclose(output) != 0 || write_failed;
  if (write_failed) return {ExportOutcome::kWriteFailed, 0};
  return {ExportOutcome::kWritten, records};
}
