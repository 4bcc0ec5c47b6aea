// Loading of the track-tail file's body into the record buffer (the layout is
// in track_tail_format.h).

#ifndef TRB2CSV_TRACK_TAIL_LOADER_H_
#define TRB2CSV_TRACK_TAIL_LOADER_H_

#include <cstdint>
#include <optional>

#include "file_access.h"

enum class LoadOutcome { kOpened, kCannotOpen, kReadFailed };

struct LoadResult {
  LoadOutcome outcome;
  const char* cause;                // why, for kCannotOpen and kReadFailed
  std::int32_t header_point_count;  // 0 unless the whole count was read
  // The identity of the file read, taken from the open file, so that no
  // name of it can be written over; none if it could not be read.
  std::optional<FileIdentity> identity;
  // At the load limit: whether the file holds a whole record more than was
  // loaded, so that the CSV cannot hold the whole track.
  bool record_left_out;
  // The file's size, or for a FIFO or device the bytes read.
  std::uint64_t file_size;
};

// Called with the loaded byte count when the body reaches the load limit,
// while the input is still open.
using LimitNotice = void (*)(std::int32_t loaded_byte_count);

// Stores the body, at most kLoadLimit bytes of it, from the start of
// g_record_buffer and sets g_loaded_byte_count to its length: 0 for a file
// of 204 bytes or fewer, -1 when the file cannot be opened or a read fails.
LoadResult LoadTrackTail(const char* input_name, LimitNotice limit_notice);

#endif  // TRB2CSV_TRACK_TAIL_LOADER_H_
