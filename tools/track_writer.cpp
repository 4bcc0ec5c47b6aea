#include "track_writer.h"

#include <cstdio>
#include <cstring>

#include "track_tail_format.h"

namespace {

void AppendLittleEndian(std::uint64_t value, int size, std::string* bytes) {
  for (int i = 0; i < size; ++i) bytes->push_back(static_cast<char>(value >> (8 * i)));
}

void AppendDouble(double value, std::string* bytes) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  AppendLittleEndian(bits, 8, bytes);
}

}  // namespace

std::string TrackPointRecord(double latitude, double longitude) {
  std::string record(kRecordSize, '\0');
  std::string coordinate;
  AppendDouble(latitude, &coordinate);
  record.replace(kLatitudeOffset, coordinate.size(), coordinate);
  coordinate.clear();
  AppendDouble(longitude, &coordinate);
  record.replace(kLongitudeOffset, coordinate.size(), coordinate);
  return record;
}

std::string TrackTailFile(std::int32_t header_point_count, const std::string& body,
                          const std::string& header_text) {
  std::string file = header_text.substr(0, kHeaderSize);
  file.resize(kPointCountOffset, '\0');
  AppendLittleEndian(static_cast<std::uint32_t>(header_point_count),
                     kBodyOffset - kPointCountOffset, &file);
  return file + body;
}

std::string TrackBody(const std::vector<TrackPoint>& points) {
  std::string body;
  for (const TrackPoint& point : points) body += TrackPointRecord(point.latitude, point.longitude);
  return body;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
