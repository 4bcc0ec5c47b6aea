#include "map_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "track_writer.h"

namespace {

// In the CSV file's range but not on the earth, out of the range, and the
// earth's edges.
const std::vector<TrackPoint> kPoints = {
    {53.55808, 10.004}, {100.0, 10.0}, {0.0, -360.0}, {-0.0000001, 180.0}, {-90.0, -180.0000001}};

TEST(MapFormats, GpxAndKmlHoldTheCsvLinesOnTheEarthWithTheirText) {
  const std::string body = TrackBody(kPoints);
  const auto* records = reinterpret_cast<const unsigned char*>(body.data());
  const auto loaded = static_cast<std::int32_t>(body.size());
  std::vector<char> text(kMaxGpxSize);

  EXPECT_EQ(
      std::string(text.data(), WriteGpx(records, loaded, 100, text.data())),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"trb2csv\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "<trk><name>ceTrackTail</name><trkseg>\n"
      "<trkpt lat=\"53.558080\" lon=\"10.004000\"/>\n"
      "<trkpt lat=\"-0.000000\" lon=\"180.000000\"/>\n"
      "</trkseg></trk>\n</gpx>\n");
  EXPECT_EQ(std::string(text.data(), WriteKml(records, loaded, 100, text.data())),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
            "<Placemark><name>ceTrackTail</name>\n"
            "<LineString><tessellate>1</tessellate><coordinates>\n"
            "10.004000,53.558080\n"
            "180.000000,-0.000000\n"
            "</coordinates></LineString></Placemark>\n</kml>\n");
  double coordinates[2 * kMaxRecords];
  ASSERT_EQ(TakePointsOnTheEarth(records, loaded, 100, coordinates), 2);
  EXPECT_EQ(coordinates[2], -0.0000001);
  EXPECT_EQ(coordinates[3], 180.0);
  EXPECT_EQ(TakePointsOnTheEarth(records, loaded, 3, coordinates), 1)
      << "the point count ends the walk";
}

TEST(MapFormats, LongestTrackFitsTheBuffers) {
  const std::string body =
      TrackBody(std::vector<TrackPoint>(kMaxRecords, {-89.9999999, -179.9999999}));
  const auto* records = reinterpret_cast<const unsigned char*>(body.data());
  std::vector<char> text(kMaxGpxSize);
  EXPECT_LE(WriteGpx(records, static_cast<std::int32_t>(body.size()), INT32_MAX, text.data()),
            kMaxGpxSize);
  EXPECT_LE(WriteKml(records, static_cast<std::int32_t>(body.size()), INT32_MAX, text.data()),
            kMaxKmlSize);
}

}  // namespace
