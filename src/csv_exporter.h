// Writing the CSV file from the loaded records, into an output that
// output_guard.h allows (output_file.h).

#ifndef TRB2CSV_CSV_EXPORTER_H_
#define TRB2CSV_CSV_EXPORTER_H_

#include <cstdint>
#include <optional>

#include "csv_format.h"
#include "output_file.h"

enum class Exported {
  kWritten,
  kNothingToWrite,  // the track has no line: the output is left as it was
  kNotWritten,      // refused, or a write failed: the output says which
};

struct ExportResult {
  Exported outcome;
  CsvText converted;    // what the conversion gave, whatever became of the file
  OutputResult output;  // but for kNothingToWrite
};

// Converts the records in g_record_buffer, into the buffer itself, and
// replaces the whole content of the output file with the CSV lines, in one
// write; a standard stream or FIFO gets them at its position. Nothing is
// opened when no record gets a line. input is the identity of the track file
// that was read; without it nothing is written, as the output could be that
// file.
ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count,
                       const std::optional<FileIdentity>& input, WrittenFiles written_before);

#endif  // TRB2CSV_CSV_EXPORTER_H_
