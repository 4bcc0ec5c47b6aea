// The track-tail file, ceTrackTail.trb, as the converter reads it. All
// multi-byte values are little-endian, whatever the machine:
//
//   offset   0, 200 bytes  header, not interpreted
//   offset 200,   4 bytes  point count, signed 32-bit
//   offset 204, the rest   body: track point records of 48 bytes each
//
// A track point record:
//
//   offset  0, 8 bytes  latitude, IEEE 754 binary64
//   offset  8, 8 bytes  longitude, IEEE 754 binary64
//   offset 16, 32 bytes not interpreted
//
// At most kLoadLimit bytes of the body are read; only whole records count,
// and no more of them than the point count says.
//
// Track-tail files are named *.trb; the converter never writes over one
// (output_guard.h).

#ifndef TRB2CSV_TRACK_TAIL_FORMAT_H_
#define TRB2CSV_TRACK_TAIL_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr int kHeaderSize = 200;
constexpr int kPointCountOffset = kHeaderSize;
constexpr int kBodyOffset = kPointCountOffset + 4;

constexpr int kRecordSize = 48;
constexpr int kLatitudeOffset = 0;
constexpr int kLongitudeOffset = 8;

// Loading stops when this many body bytes are stored: one less than the
// record buffer, so at most 1,365 whole records.
constexpr std::int32_t kLoadLimit = 65535;
constexpr std::int32_t kMaxRecords = kLoadLimit / kRecordSize;

inline std::uint64_t DecodeLittleEndian(const unsigned char* bytes, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

inline std::int32_t DecodeInt32(const unsigned char* bytes) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(DecodeLittleEndian(bytes, 4)));
}

inline double DecodeDouble(const unsigned char* bytes) {
  const std::uint64_t bits = DecodeLittleEndian(bytes, 8);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// What the converter takes from a file that begins with the given bytes and
// has file_size bytes, of which head holds at least the first kBodyOffset (or
// all, if the file is shorter): the point count, 0 if the file ends before
// it; and the body bytes loaded, those after the count up to kLoadLimit, 0
// for a file of kBodyOffset bytes or fewer. A body of kLoadLimit bytes has
// reached the limit: the rest of the file is not taken.
struct TrackTailLoad {
  std::int32_t header_point_count;
  std::int32_t loaded_byte_count;
};

inline TrackTailLoad MeasureTrackTail(const unsigned char* head, std::size_t file_size) {
  if (file_size < static_cast<std::size_t>(kBodyOffset)) return {0, 0};
  const std::size_t body_size = file_size - kBodyOffset;
  const std::size_t limit = kLoadLimit;
  return {DecodeInt32(head + kPointCountOffset),
          static_cast<std::int32_t>(body_size < limit ? body_size : limit)};
}

#endif  // TRB2CSV_TRACK_TAIL_FORMAT_H_
