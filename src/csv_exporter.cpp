#include "csv_exporter.h"

#include "converter_state.h"

ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count,
                       const std::optional<FileIdentity>& input, WrittenFiles written_before) {
  // The lines are written over the records in the record buffer, which is
  // in memory already: a buffer of its own would cost a run more in fresh
  // pages than the whole conversion does. The output's first bytes are read
  // into the buffer's end, which the lines never reach.
  static_assert(kMaxCsvSize + kTextCheckSize <= kRecordBufferSize, "lines and bytes fit");
  char* csv = reinterpret_cast<char*>(g_record_buffer);
  const CsvText text = ConvertToCsv(g_record_buffer, g_loaded_byte_count, header_point_count, csv);
  if (text.size == 0) return {Exported::kNothingToWrite, text, {}};
  unsigned char* leading_room = g_record_buffer + kRecordBufferSize - kTextCheckSize;
  const OutputResult output =
      WriteOutput(output_name, input, written_before, csv, text.size, leading_room);
  const bool written = output.verdict.refusal == OutputRefusal::kNone && !output.failed;
  return {written ? Exported::kWritten : Exported::kNotWritten, text, output};
}
