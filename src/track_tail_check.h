// Whether a file that was converted looks like a track-tail file at all: a
// picture or a text file given by mistake converts to a few lines of
// nonsense, and the console program and the web page say so alike.

#ifndef TRB2CSV_TRACK_TAIL_CHECK_H_
#define TRB2CSV_TRACK_TAIL_CHECK_H_

#include <cstddef>
#include <cstdint>

// Room for the longest text of DescribeDoubts.
constexpr std::size_t kMaxDoubtsSize = 256;

// For a file of file_size bytes, whose header gave header_point_count and
// whose conversion walked records_walked records into csv_lines lines: why
// it does not look like a track-tail file, written to text (kMaxDoubtsSize
// bytes, zero-terminated), for instance "the point count in its header, -1,
// is negative". The reasons: a negative point count, one that differs by
// more than one from the whole records the file holds, and most records
// walked outside the coordinate range. Returns the length of the text: 0 if
// the file looks like one.
std::size_t DescribeDoubts(std::int32_t header_point_count, std::uint64_t file_size,
                           std::int32_t records_walked, std::int32_t csv_lines, char* text);

#endif  // TRB2CSV_TRACK_TAIL_CHECK_H_
