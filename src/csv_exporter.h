// Writing the CSV file from the loaded records, into a file that
// output_guard.h allows.

#ifndef TRB2CSV_CSV_EXPORTER_H_
#define TRB2CSV_CSV_EXPORTER_H_

#include <cstdint>
#include <optional>

#include "csv_format.h"
#include "file_access.h"

enum class ExportOutcome {
  kWritten,
  kNothingToWrite,  // the track has no line: the output is left as it was
  kInputFile,       // the output is the file that was read
  kTrackTailFile,   // the output's name, a name it links to, or its own name ends in .trb
  kNotText,         // the output holds a NUL byte near its start
  kNotCsv,          // the output is text, but not lines of numbers
  kWrittenThisRun,  // the output is a CSV file this run wrote for another track
  kCannotOpen,
  kWriteFailed,
};

struct ExportResult {
  ExportOutcome outcome;
  std::int32_t records_walked;  // 0 unless kWritten or kNothingToWrite
  const char* cause;            // why, for kCannotOpen and kWriteFailed
  // For kWriteFailed, what the output holds now: whole lines_kept of the
  // lines of the track, and whether more than that; to_stream for a FIFO, a
  // device or a standard stream, which hold nothing afterwards.
  Overwritten holds;
  std::int32_t lines_kept;
  bool to_stream;
  CsvText converted;  // what the conversion gave, whatever became of the file
  // For kWritten, the file that now holds the lines, if a regular one; for
  // kWrittenThisRun, which of the files written before it is.
  std::optional<FileIdentity> written;
  std::size_t written_index;
};

// The CSV files a run has written, so that no later track of the same run
// writes over one of them.
struct WrittenFiles {
  const FileIdentity* identities;
  std::size_t count;
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
