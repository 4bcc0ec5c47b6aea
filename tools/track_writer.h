// Writer of track-tail files, for the sample track and for the tests.
//
// The layout is track_tail_format.h's. This writer leaves the bytes of a
// record that hold no coordinate zero.

#ifndef TRB2CSV_TOOLS_TRACK_WRITER_H_
#define TRB2CSV_TOOLS_TRACK_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

struct TrackPoint {
  double latitude;
  double longitude;
};

// The 48 bytes of one record.
std::string TrackPointRecord(double latitude, double longitude);

// A whole file: header (with header_text at its start, zero bytes after it),
// point count and body. The body is given as bytes so that it may end inside
// a record or hold anything at all.
std::string TrackTailFile(std::int32_t header_point_count, const std::string& body,
                          const std::string& header_text = "");

// The body of the given points, record after record.
std::string TrackBody(const std::vector<TrackPoint>& points);

// Writes bytes to path; false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

#endif  // TRB2CSV_TOOLS_TRACK_WRITER_H_
