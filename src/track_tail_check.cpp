#include "track_tail_check.h"

#include "track_tail_format.h"

namespace {

char* AppendText(char* text, const char* more) {
  while (*more != '\0') *text++ = *more++;
  return text;
}

// 1,365 and -2,147,483,648: a comma between thousands, as the page writes
// its numbers.
char* AppendCount(char* text, std::int64_t value) {
  if (value < 0) *text++ = '-';
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[20];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  while (length > 0) {
    *text++ = digits[--length];
    if (length > 0 && length % 3 == 0) *text++ = ',';
  }
  return text;
}

}  // namespace

std::size_t DescribeDoubts(std::int32_t header_point_count, std::uint64_t file_size,
                           std::int32_t records_walked, std::int32_t csv_lines, char* text) {
  const std::uint64_t body = file_size > kBodyOffset ? file_size - kBodyOffset : 0;
  const auto records_held = static_cast<std::int64_t>(body / kRecordSize);
  char* end = text;
  if (header_point_count < 0 || header_point_count - records_held > 1 ||
      records_held - header_point_count > 1) {
    end = AppendCount(AppendText(end, "the point count in its header, "), header_point_count);
    if (header_point_count < 0) {
      end = AppendText(end, ", is negative");
    } else {
      end = AppendCount(AppendText(end, ", differs from the "), records_held);
      end = AppendText(end, " records it holds");
    }
  }
  const std::int32_t left_out = records_walked - csv_lines;
  if (2 * static_cast<std::int64_t>(left_out) > records_walked) {
    if (end != text) end = AppendText(end, ", and ");
    end = AppendCount(AppendText(end, "most of its records ("), left_out);
    end = AppendCount(AppendText(end, " of "), records_walked);
    end = AppendText(end, ") lie outside the coordinate range");
  }
  *end = '\0';
  return static_cast<std::size_t>(end - text);
}
