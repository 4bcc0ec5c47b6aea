// Writing the CSV file from the loaded records.

#ifndef TRB2CSV_CSV_EXPORTER_H_
#define TRB2CSV_CSV_EXPORTER_H_

#include <cstdint>

enum class ExportOutcome { kWritten, kCannotOpen, kWriteFailed };

struct ExportResult {
  ExportOutcome outcome;
  std::int32_t records_walked;  // 0 unless kWritten
};

// Converts the records in g_record_buffer, into the buffer itself, and
// replaces the whole content of the output file with the CSV lines, in one
// write.
ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count);

#endif  // TRB2CSV_CSV_EXPORTER_H_
