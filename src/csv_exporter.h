// Writing the CSV file from the loaded records.

#ifndef TRB2CSV_CSV_EXPORTER_H_
#define TRB2CSV_CSV_EXPORTER_H_

#include <cstdint>

#include "file_access.h"

enum class ExportOutcome {
  kWritten,
  kInputFile,      // the output is the file that was read
  kTrackTailFile,  // the output's name, or the name it links to, ends in .trb
  kNotText,        // the output holds a NUL byte near its start
  kCannotOpen,
  kWriteFailed,
};

struct ExportResult {
  ExportOutcome outcome;
  std::int32_t records_walked;  // 0 unless kWritten
  const char* cause;            // why, for kCannotOpen and kWriteFailed
};

// A file that holds a NUL byte within its first kTextCheckSize bytes is not a
// text file (as git and grep judge), and is never replaced by CSV lines. A
// track-tail file always holds one: the high bytes of its point count.
constexpr int kTextCheckSize = 4096;

// Converts the records in g_record_buffer, into the buffer itself, and
// replaces the whole content of the output file with the CSV lines, in one
// write. input is the identity of the track file that was read, or null if
// it is not known: then nothing is written, as the output could be that file.
ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count,
                       const FileIdentity* input);

#endif  // TRB2CSV_CSV_EXPORTER_H_
