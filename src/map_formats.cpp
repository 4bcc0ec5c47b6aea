#include "map_formats.h"

namespace {

// Calls take(latitude, longitude) for each CSV line whose position is on the
// earth.
template <typename Take>
void WalkPointsOnTheEarth(const unsigned char* records, std::int32_t loaded_byte_count,
                          std::int32_t header_point_count, Take take) {
  WalkRecords(records, loaded_byte_count, header_point_count,
              [&take](std::int32_t, double latitude, double longitude) {
                if (IsOnTheEarth(latitude, longitude)) take(latitude, longitude);
              });
}

}  // namespace

bool IsOnTheEarth(double latitude, double longitude) {
  return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

std::size_t WriteGpx(const unsigned char* records, std::int32_t loaded_byte_count,
                     std::int32_t header_point_count, char* gpx) {
  char* end = Append(gpx,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"trb2csv\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                     "<trk><name>ceTrackTail</name><trkseg>\n");
  WalkPointsOnTheEarth(
      records, loaded_byte_count, header_point_count, [&end](double latitude, double longitude) {
        end = Append(FormatFixed6(latitude, Append(end, "<trkpt lat=\"")), "\" lon=\"");
        end = Append(FormatFixed6(longitude, end), "\"/>\n");
      });
  end = Append(end, "</trkseg></trk>\n</gpx>\n");
  return static_cast<std::size_t>(end - gpx);
}

std::size_t WriteKml(const unsigned char* records, std::int32_t loaded_byte_count,
                     std::int32_t header_point_count, char* kml) {
  char* end = Append(kml,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                     "<Placemark><name>ceTrackTail</name>\n"
                     "<LineString><tessellate>1</tessellate><coordinates>\n");
  WalkPointsOnTheEarth(records, loaded_byte_count, header_point_count,
                       [&end](double latitude, double longitude) {
                         end = Append(FormatFixed6(longitude, end), ",");
                         end = Append(FormatFixed6(latitude, end), "\n");
                       });
  end = Append(end, "</coordinates></LineString></Placemark>\n</kml>\n");
  return static_cast<std::size_t>(end - kml);
}

std::int32_t TakePointsOnTheEarth(const unsigned char* records, std::int32_t loaded_byte_count,
                                  std::int32_t header_point_count, double* coordinates) {
  double* end = coordinates;
  WalkPointsOnTheEarth(records, loaded_byte_count, header_point_count,
                       [&end](double latitude, double longitude) {
                         *end++ = latitude;
                         *end++ = longitude;
                       });
  return static_cast<std::int32_t>((end - coordinates) / 2);
}
