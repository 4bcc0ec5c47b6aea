// Loading of a track-tail file into the record buffer.
//
// File layout, all values little-endian:
//   offset   0, 200 bytes  header, not interpreted
//   offset 200,   4 bytes  header point count, signed 32-bit
//   offset 204, the rest   body: track point records of 48 bytes each
// The body is stored from buffer offset 0 on, at most kLoadLimit bytes of it.

#ifndef TRB2CSV_TRACK_TAIL_LOADER_H_
#define TRB2CSV_TRACK_TAIL_LOADER_H_

#include <cstdint>

constexpr int kTrackTailHeaderSize = 200;
constexpr int kTrackTailBodyOffset = kTrackTailHeaderSize + 4;

enum class LoadOutcome { kCannotOpen, kOpened };

struct LoadResult {
  LoadOutcome outcome;
  std::int32_t header_point_count;  // 0 unless the whole count was read
};

// Called with the loaded byte count when the body reaches the load limit,
// while the input is still open.
using LimitNotice = void (*)(std::int32_t loaded_byte_count);

// Sets g_loaded_byte_count to the number of body bytes stored (0 for a file
// of 204 bytes or fewer), or to -1 when the file cannot be opened or a read
// fails; the outcome is kCannotOpen then.
LoadResult LoadTrackTail(const char* input_name, LimitNotice limit_notice);

#endif  // TRB2CSV_TRACK_TAIL_LOADER_H_
