// The CSV file's output: its name judged, the file opened (a missing one
// created as itself), locked for this run, judged again on what was opened
// (output_guard.h), and written as the guard chooses: replaced by rename,
// written in place, or through a stream. The platform gives the primitives
// (file_access.h); the rules and their order are here, once.

#ifndef TRB2CSV_OUTPUT_FILE_H_
#define TRB2CSV_OUTPUT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "file_access.h"
#include "output_guard.h"

// The CSV files a run has written, so that no later track of the same run
// writes over one of them.
struct WrittenFiles {
  const FileIdentity* identities;
  std::size_t count;
};

struct OutputResult {
  // Refused, and why; or, with kNone, written or tried.
  OutputVerdict verdict;
  // For a write that failed: why, and what the output holds now: whole
  // lines_kept of the lines, and whether more than that; to_stream for a
  // FIFO, a device or a standard stream, which hold nothing afterwards.
  bool failed;
  const char* cause;
  Overwritten holds;
  std::int32_t lines_kept;
  bool to_stream;
  // Written: the file that now holds the lines, if a regular one.
  std::optional<FileIdentity> now_named;
};

// Writes the size bytes of CSV lines to the output named, unless the guard
// refuses it. input is the identity of the track file that was read; the
// output's first bytes are read into leading_room, kTextCheckSize bytes.
OutputResult WriteOutput(const char* name, const std::optional<FileIdentity>& input,
                         WrittenFiles written_before, const char* bytes, std::size_t size,
                         unsigned char* leading_room);

#endif  // TRB2CSV_OUTPUT_FILE_H_
