// Export of the loaded track-tail body as CSV lines.
//
// A track point record is 48 bytes: latitude and longitude as little-endian
// IEEE 754 binary64 values at offsets 0 and 8, then 32 bytes that the
// converter does not interpret. Every line ends in CR LF on every platform.

#ifndef TRB2CSV_CSV_EXPORTER_H_
#define TRB2CSV_CSV_EXPORTER_H_

#include <cstdint>

constexpr std::int32_t kTrackPointRecordSize = 48;

enum class ExportOutcome { kWritten, kCannotOpen, kWriteFailed };

struct ExportResult {
  ExportOutcome outcome;
  std::int32_t records_walked;  // 0 unless kWritten
};

// Number of records the export walks: the whole records that were loaded,
// but no more than the header point count, and none if it is not positive.
std::int32_t RecordsToWalk(std::int32_t header_point_count, std::int32_t loaded_byte_count);

// Writes one line for each walked record whose coordinates are in range,
// numbered by its place in the file, so dropped records leave gaps. The
// output file is replaced completely. Reads g_record_buffer.
ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count);

#endif  // TRB2CSV_CSV_EXPORTER_H_
