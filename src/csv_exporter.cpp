#include "csv_exporter.h"

#include "converter_state.h"
#include "csv_format.h"
#include "file_access.h"

ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count) {
  // The lines are written over the records in the record buffer, which is
  // in memory already: a buffer of its own would cost a run more in fresh
  // pages than the whole conversion does.
  static_assert(kMaxCsvSize <= kRecordBufferSize, "the lines fit the record buffer");
  char* csv = reinterpret_cast<char*>(g_record_buffer);
  const CsvText text = ConvertToCsv(g_record_buffer, g_loaded_byte_count, header_point_count, csv);

  const int output = OpenOutputFile(output_name);
  if (output < 0) return {ExportOutcome::kCannotOpen, 0};
  const bool written = OverwriteFile(output, csv, text.size);
  const bool closed = CloseFile(output);
  if (!written || !closed) return {ExportOutcome::kWriteFailed, 0};
  return {ExportOutcome::kWritten, text.records_walked};
}
