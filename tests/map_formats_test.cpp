#include "map_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "track_writer.h"

namespace {

// In the CSV file's range but not on the earth, out of the range, and the
// earth's edges.
const std::vector<TrackPoint> kPoints = {
    {53.55808, 10.004}, {100.0, 10.0}, {0.0, -360.0}, {-0.0000001, 180.0}, {-90.0, -180.0000001}};

std::string Document(MapFormat format, const std::string& name, const std::string& body,
                     std::int32_t count) {
  std::vector<char> text(kMaxMapTrackSize);
  const auto* records = reinterpret_cast<const unsigned char*>(body.data());
  const std::size_t size = WriteMapTrack(
      format, name.c_str(), records, static_cast<std::int32_t>(body.size()), count, text.data());
  const MapDocument parts = DocumentOf(format);
  return parts.head + std::string(text.data(), size) + parts.tail;
}

TEST(MapFormats, TracksHoldTheCsvLinesOnTheEarthWithTheirTextAndTheirName) {
  const std::string body = TrackBody(kPoints);
  const std::string name = "walk \"1\" & <2>'s\x01\t\xef\xbf\xbe";
  EXPECT_EQ(
      Document(MapFormat::kGpx, name, body, 100),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"trb2csv\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "<trk><name>walk &quot;1&quot; &amp; &lt;2&gt;&apos;s\xef\xbf\xbd\t\xef\xbf\xbd</name>"
      "<trkseg>\n"
      "<trkpt lat=\"53.558080\" lon=\"10.004000\"/>\n"
      "<trkpt lat=\"-0.000000\" lon=\"-180.000000\"/>\n"
      "</trkseg></trk>\n</gpx>\n");
  EXPECT_EQ(Document(MapFormat::kKml, "Alster", body, 100),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
            "<Placemark><name>Alster</name>\n"
            "<LineString><tessellate>1</tessellate><coordinates>\n"
            "10.004000,53.558080\n"
            "180.000000,-0.000000\n"
            "</coordinates></LineString></Placemark>\n</Document>\n</kml>\n");
  EXPECT_EQ(Document(MapFormat::kGeoJson, "a\\b\"c\x01\x1f", body, 100),
            "{\"type\":\"FeatureCollection\",\"features\":[\n"
            "{\"type\":\"Feature\",\"properties\":{\"name\":\"a\\\\b\\\"c\\u0001\\u001f\"},"
            "\"geometry\":{\"type\":\"LineString\",\"coordinates\":"
            "[[10.004000,53.558080],[180.000000,-0.000000]]}}\n]}\n");
  EXPECT_EQ(Document(MapFormat::kGeoJson, "one", body, 3),
            "{\"type\":\"FeatureCollection\",\"features\":[\n"
            "{\"type\":\"Feature\",\"properties\":{\"name\":\"one\"},"
            "\"geometry\":{\"type\":\"Point\",\"coordinates\":[10.004000,53.558080]}}\n]}\n")
      << "the point count ends the walk";
  EXPECT_EQ(Document(MapFormat::kKml, "one", body, 3),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
            "<Placemark><name>one</name>\n<Point><coordinates>\n10.004000,53.558080\n"
            "</coordinates></Point></Placemark>\n</Document>\n</kml>\n");
  std::vector<char> text(kMaxMapTrackSize);
  for (MapFormat format : {MapFormat::kGpx, MapFormat::kKml, MapFormat::kGeoJson}) {
    EXPECT_EQ(WriteMapTrack(format, "none", nullptr, 0, 0, text.data()), 0u)
        << "a track without a point on the earth";
  }

  double coordinates[2 * kMaxRecords];
  const auto* records = reinterpret_cast<const unsigned char*>(body.data());
  ASSERT_EQ(TakePointsOnTheEarth(records, static_cast<std::int32_t>(body.size()), 100, coordinates),
            2);
  EXPECT_EQ(coordinates[2], -0.0000001);
  EXPECT_EQ(coordinates[3], 180.0);
}

TEST(MapFormats, GeoJsonIsCutWhereTheTrackCrossesTheAntimeridian) {
  const std::string east = TrackBody({{10, 179.9}, {11, -179.9}, {12, -179.8}});
  EXPECT_EQ(Document(MapFormat::kGeoJson, "east", east, 3),
            "{\"type\":\"FeatureCollection\",\"features\":[\n"
            "{\"type\":\"Feature\",\"properties\":{\"name\":\"east\"},"
            "\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":["
            "[[179.900000,10.000000],[180.000000,10.500000]],"
            "[[-180.000000,10.500000],[-179.900000,11.000000],[-179.800000,12.000000]]]}}\n]}\n");
  const std::string west = TrackBody({{0, -170}, {-2, 170}, {-4, 160}});
  EXPECT_EQ(Document(MapFormat::kGeoJson, "west", west, 3),
            "{\"type\":\"FeatureCollection\",\"features\":[\n"
            "{\"type\":\"Feature\",\"properties\":{\"name\":\"west\"},"
            "\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":["
            "[[-170.000000,0.000000],[-180.000000,-1.000000]],"
            "[[180.000000,-1.000000],[170.000000,-2.000000],[160.000000,-4.000000]]]}}\n]}\n");
  const std::string half_way = TrackBody({{0, -100}, {0, 80}});  // 180 degrees: not across
  EXPECT_NE(Document(MapFormat::kGeoJson, "h", half_way, 2).find("\"LineString\""),
            std::string::npos);
  // Points on the antimeridian itself lie on the side of the points before
  // them, or where they lead, of the first beside it: no step round the earth.
  const struct {
    std::vector<TrackPoint> points;
    const char* geometry;
  } kOnIt[] = {
      {{{10, 180}, {10, -180}, {10.1, -179.9}},
       "\"LineString\",\"coordinates\":[[-180.000000,10.000000],[-180.000000,10.000000],"
       "[-179.900000,10.100000]]"},
      {{{10, -180}, {10, 180}},
       "\"LineString\",\"coordinates\":[[-180.000000,10.000000],[-180.000000,10.000000]]"},
      {{{10, 179.9}, {10, 180}, {10.1, -179.9}},
       "\"MultiLineString\",\"coordinates\":[[[179.900000,10.000000],[180.000000,10.000000]],"
       "[[-180.000000,10.000000],[-179.900000,10.100000]]]"},
  };
  for (const auto& c : kOnIt) {
    const std::string document = Document(MapFormat::kGeoJson, "m", TrackBody(c.points), 3);
    EXPECT_NE(document.find(c.geometry), std::string::npos) << document;
  }
}

// The rule the page draws by too: the shorter way round, a half turn as written.
TEST(MapFormats, StepsGoTheShorterWayRound) {
  const struct {
    double from, to, unwrapped;
  } kSteps[] = {{179.9, -179.9, 180.1}, {-179.9, 179.9, -180.1}, {10, 20, 20},    {-100, 80, 80},
                {80, -100, -100},       {180.1, -179.8, 180.2},  {359, -359, 361}};
  for (const auto& step : kSteps) {
    EXPECT_DOUBLE_EQ(ShorterWayRound(step.from, step.to), step.unwrapped) << step.from << step.to;
  }
  const double coordinates[] = {10, 179.9, 10, -179.9, 10, -179.8, 10, 179.95};
  double longitudes[4];
  UnwrapLongitudes(coordinates, 4, longitudes);
  EXPECT_DOUBLE_EQ(longitudes[1], 180.1);
  EXPECT_DOUBLE_EQ(longitudes[2], 180.2);
  EXPECT_DOUBLE_EQ(longitudes[3], 179.95);
}

TEST(MapFormats, LongestTrackWithTheLongestNameFitsTheBuffer) {
  std::vector<TrackPoint> zigzag;
  for (int i = 0; i < kMaxRecords; ++i) zigzag.push_back({-89.9999999, i % 2 ? 179.9 : -179.9});
  const std::string body = TrackBody(zigzag);
  const auto* records = reinterpret_cast<const unsigned char*>(body.data());
  std::vector<char> text(kMaxMapTrackSize);
  for (const std::string& name :
       {std::string(kMaxTrackNameSize, '"'), std::string(kMaxTrackNameSize, '\x1f')}) {
    for (MapFormat format : {MapFormat::kGpx, MapFormat::kKml, MapFormat::kGeoJson}) {
      EXPECT_LE(WriteMapTrack(format, name.c_str(), records, static_cast<std::int32_t>(body.size()),
                              INT32_MAX, text.data()),
                kMaxMapTrackSize);
    }
  }
}

TEST(MapFormats, LengthIsTheGreatCircleDistanceAlongThePoints) {
  const double kDegree = kEarthRadius * std::acos(-1.0) / 180;
  const struct {
    std::vector<double> coordinates;  // latitude, longitude, ...
    double metres;
  } kCases[] = {
      {{}, 0},
      {{53.5, 10.0}, 0},
      {{0, 0, 0, 1}, kDegree},
      {{0, 0, 90, 0}, 90 * kDegree},
      {{0, 179.5, 0, -179.5}, kDegree},      // across the date line
      {{60, 0, 60, 1, 60, 0}, 111194.0217},  // a degree of longitude at 60° north, there and back
  };
  for (const auto& c : kCases) {
    const auto points = static_cast<std::int32_t>(c.coordinates.size() / 2);
    EXPECT_NEAR(TrackLength(c.coordinates.data(), points), c.metres, 0.01) << points;
  }
}

}  // namespace
