#include "track_tail_loader.h"

#include "converter_state.h"
#include "file_access.h"
#include "track_tail_format.h"

LoadResult LoadTrackTail(const char* input_name, LimitNotice limit_notice) {
  g_loaded_byte_count = 0;
  int error = 0;
  Fd input = OpenInputFile(input_name, &error);
  if (!input.valid()) {
    g_loaded_byte_count = -1;
    return {LoadOutcome::kCannotOpen, ErrorText(error), 0, std::nullopt, false, 0};
  }
  const std::optional<FileStatus> status = GetStatus(input.get());

  // The header is read but not kept. A file that ends within it or within the
  // point count holds no records.
  unsigned char head[kBodyOffset];
  const long head_size = ReadBytes(input.get(), head, sizeof head, &error);
  long body_size = 0;
  bool record_left_out = false;
  if (head_size == kBodyOffset) {
    body_size = ReadBytes(input.get(), g_record_buffer, kLoadLimit, &error);
    if (body_size == kLoadLimit) {
      g_loaded_byte_count = kLoadLimit;
      limit_notice(kLoadLimit);
      // The loaded bytes end inside a record: the file holds one more whole
      // record if the rest of that one follows, or if that is not known.
      unsigned char rest[kRecordSize];
      const long rest_size = kRecordSize - kLoadLimit % kRecordSize;
      const long got = ReadBytes(input.get(), rest, static_cast<std::size_t>(rest_size), nullptr);
      record_left_out = got < 0 || got == rest_size;
    }
  }
  input.Close(nullptr);  // Everything needed has been read.

  // A read error (a directory, a failing device) must not pass for data.
  if (head_size < 0 || body_size < 0) {
    g_loaded_byte_count = -1;
    return {LoadOutcome::kReadFailed, ErrorText(error), 0, std::nullopt, false, 0};
  }
  const auto size_read = static_cast<std::size_t>(head_size + body_size);
  const TrackTailLoad load = MeasureTrackTail(head, size_read);
  g_loaded_byte_count = load.loaded_byte_count;
  const bool sized = status && status->kind == FileKind::kRegular && status->size >= size_read;
  return {LoadOutcome::kOpened,
          "",
          load.header_point_count,
          status ? std::optional<FileIdentity>(status->identity) : std::nullopt,
          record_left_out,
          sized ? status->size : size_read};
}
