// Writes a track-tail file, for the tests in scripts, Python and node, so
// that none of them writes the layout out again:
//
//   write_track FILE COUNT [LATITUDE,LONGITUDE ...] [+ZEROS]
//
// COUNT is the header's point count, each pair a record ("nan" and "inf"
// are numbers too), and +ZEROS appends that many zero bytes.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "track_writer.h"

namespace {

bool ParseNumber(const char* text, char end, double* number, const char** rest) {
  char* parsed_end;
  errno = 0;
  *number = std::strtod(text, &parsed_end);
  *rest = parsed_end;
  return parsed_end != text && *parsed_end == end && errno != ERANGE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: write_track FILE COUNT [LATITUDE,LONGITUDE ...] [+ZEROS]\n");
    return 2;
  }
  char* count_end;
  const long count = std::strtol(argv[2], &count_end, 10);
  if (*count_end != '\0' || count < INT32_MIN || count > INT32_MAX) {
    std::fprintf(stderr, "write_track: %s: not a 32-bit count\n", argv[2]);
    return 2;
  }
  std::string body;
  for (int i = 3; i < argc; ++i) {
    const char* rest;
    double latitude;
    double longitude;
    if (argv[i][0] == '+') {
      const long zeros = std::strtol(argv[i] + 1, nullptr, 10);
      body.append(static_cast<std::size_t>(zeros > 0 ? zeros : 0), '\0');
    } else if (ParseNumber(argv[i], ',', &latitude, &rest) &&
               ParseNumber(rest + 1, '\0', &longitude, &rest)) {
      body += TrackPointRecord(latitude, longitude);
    } else {
      std::fprintf(stderr, "write_track: %s: not LATITUDE,LONGITUDE or +ZEROS\n", argv[i]);
      return 2;
    }
  }
  if (!WriteFileBytes(argv[1], TrackTailFile(static_cast<std::int32_t>(count), body))) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
