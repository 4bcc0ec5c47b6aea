// Writes the sample track: a walk once around the Outer Alster in Hamburg,
// counter-clockwise from the Lombardsbruecke, as 360 points.
//
//   make_sample_track OUTPUT

#include <cmath>
#include <cstdio>
#include <vector>

#include "track_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample_track OUTPUT\n");
    return 2;
  }
  const double kPi = 3.14159265358979323846;
  const int kPoints = 360;
  std::vector<TrackPoint> points;
  for (int i = 0; i < kPoints; ++i) {
    double angle = 2 * kPi * i / kPoints;
    // The lake is about 1.7 km from south to north and 1 km wide, a little
    // wider in the north; the shore path wanders along its bays.
    double bays = 0.00025 * std::sin(7 * angle) + 0.00012 * std::cos(13 * angle);
    double latitude = 53.5660 - (0.0078 + bays) * std::cos(angle);
    double longitude = 10.0040 + (0.0072 + bays + 0.0012 * std::cos(angle)) * std::sin(angle);
    points.push_back({latitude, longitude});
  }
  std::string file = TrackTailFile(kPoints, TrackBody(points), "sample track, Outer Alster");
  if (!WriteFileBytes(argv[1], file)) {
    std::fprintf(stderr, "make_sample_track: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
