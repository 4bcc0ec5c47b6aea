#include "track_tail_loader.h"

#include <cstdio>

#include "converter_state.h"
#include "file_access.h"

namespace {

std::int32_t DecodeInt32(const unsigned char* bytes) {
  std::uint32_t value =
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return static_cast<std::int32_t>(value);
}

// Reads the header and the point count; false if the file ends before them.
bool ReadHead(std::FILE* input, std::int32_t* header_point_count) {
  for (int i = 0; i < kTrackTailHeaderSize; ++i) {
    if (std::getc(input) == EOF) return false;
  }
  unsigned char count_bytes[4];
  for (unsigned char& byte : count_bytes) {
    int c = std::getc(input);
    if (c == EOF) return false;
    byte = static_cast<unsigned char>(c);
  }
  *header_point_count = DecodeInt32(count_bytes);
  return true;
}

}  // namespace

LoadResult LoadTrackTail(const char* input_name, LimitNotice limit_notice) {
  g_loaded_byte_count = 0;
  std::FILE* input = OpenInputFile(input_name);
  if (!input) {
    // One read of the whole body: the stream hands a large read straight
    // to the system. The read that finds the end of the file stores nothing.
    g_loaded_byte_count = -1;
    return {LoadOutcome::kCannotOpen, 0};
  }

  std::int32_t header_point_count = 0;
  if (ReadHead(input, &header_point_count)) {
    // One read of the whole body: the stream hands a large read straight
    // to the system. The read that finds the end of the file stores nothing.
    g_loaded_byte_count =
        static_cast<std::int32_t>(std::fread(g_record_buffer, 1, kLoadLimit, input));
    if (g_loaded_byte_count >= kLoadLimit) limit_notice(g_loaded_byte_count);
  }

  // A read error (a directory, a failing device) must not pass for data.
  bool read_failed = std::ferror(input) != 0;
  std::fclose(input);
  if (read_failed) {
    // One read of the whole body: the stream hands a large read straight
    // to the system. The read that finds the end of the file stores nothing.
    g_loaded_byte_count = -1;
    return {LoadOutcome::kCannotOpen, 0};
  }
  return {LoadOutcome::kOpened, header_point_count};
}
