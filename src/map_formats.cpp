#include "map_formats.h"

#include <cmath>
#include <cstddef>

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

char* AppendText(char* text, const char* more) {
  while (*more != '\0') *text++ = *more++;
  return text;
}

char* AppendXmlEscaped(char* text, const char* name) {
  for (; *name != '\0'; ++name) {
    switch (*name) {
      case '&':
        text = Append(text, "&amp;");
        break;
      case '<':
        text = Append(text, "&lt;");
        break;
      case '>':
        text = Append(text, "&gt;");
        break;
      case '"':
        text = Append(text, "&quot;");
        break;
      case '\'':
        text = Append(text, "&apos;");
        break;
      default:
        *text++ = *name;
    }
  }
  return text;
}

char* AppendJsonEscaped(char* text, const char* name) {
  const char kHex[] = "0123456789abcdef";
  for (; *name != '\0'; ++name) {
    const auto byte = static_cast<unsigned char>(*name);
    if (byte == '"' || byte == '\\') {
      *text++ = '\\';
      *text++ = *name;
    } else if (byte < 0x20) {
      text = Append(text, "\\u00");
      *text++ = kHex[byte >> 4];
      *text++ = kHex[byte & 0xF];
    } else {
      *text++ = *name;
    }
  }
  return text;
}

std::size_t WriteGpxTrack(const char* name, const unsigned char* records, std::int32_t loaded,
                          std::int32_t count, char* gpx) {
  char* end = AppendXmlEscaped(Append(gpx, "<trk><name>"), name);
  end = Append(end, "</name><trkseg>\n");
  WalkPointsOnTheEarth(records, loaded, count, [&end](double latitude, double longitude) {
    end = Append(FormatFixed6(latitude, Append(end, "<trkpt lat=\"")), "\" lon=\"");
    end = Append(FormatFixed6(longitude, end), "\"/>\n");
  });
  end = Append(end, "</trkseg></trk>\n");
  return static_cast<std::size_t>(end - gpx);
}

std::size_t WriteKmlTrack(const char* name, const unsigned char* records, std::int32_t loaded,
                          std::int32_t count, char* kml) {
  char* end = AppendXmlEscaped(Append(kml, "<Placemark><name>"), name);
  end = Append(end, "</name>\n<LineString><tessellate>1</tessellate><coordinates>\n");
  WalkPointsOnTheEarth(records, loaded, count, [&end](double latitude, double longitude) {
    end = Append(FormatFixed6(longitude, end), ",");
    end = Append(FormatFixed6(latitude, end), "\n");
  });
  end = Append(end, "</coordinates></LineString></Placemark>\n");
  return static_cast<std::size_t>(end - kml);
}

std::size_t WriteGeoJsonTrack(const char* name, const unsigned char* records, std::int32_t loaded,
                              std::int32_t count, char* json) {
  std::int32_t points = 0;
  WalkPointsOnTheEarth(records, loaded, count, [&points](double, double) { ++points; });
  if (points == 0) return 0;
  const bool line = points > 1;
  char* end =
      AppendJsonEscaped(Append(json, "{\"type\":\"Feature\",\"properties\":{\"name\":\""), name);
  end = AppendText(end, line ? "\"},\"geometry\":{\"type\":\"LineString\",\"coordinates\":["
                             : "\"},\"geometry\":{\"type\":\"Point\",\"coordinates\":");
  bool first = true;
  WalkPointsOnTheEarth(records, loaded, count, [&](double latitude, double longitude) {
    end = Append(FormatFixed6(longitude, AppendText(end, first ? "[" : ",[")), ",");
    end = Append(FormatFixed6(latitude, end), "]");
    first = false;
  });
  end = AppendText(end, line ? "]}}" : "}}");
  return static_cast<std::size_t>(end - json);
}

}  // namespace

bool IsOnTheEarth(double latitude, double longitude) {
  return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

MapDocument DocumentOf(MapFormat format) {
  switch (format) {
    case MapFormat::kGpx:
      return {
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<gpx version=\"1.1\" creator=\"trb2csv\" "
          "xmlns=\"http://www.topografix.com/GPX/1/1\">\n",
          "", "</gpx>\n"};
    case MapFormat::kKml:
      return {
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n",
          "", "</Document>\n</kml>\n"};
    case MapFormat::kGeoJson:
      break;
  }
  return {"{\"type\":\"FeatureCollection\",\"features\":[\n", ",\n", "\n]}\n"};
}

std::size_t WriteMapTrack(MapFormat format, const char* name, const unsigned char* records,
                          std::int32_t loaded_byte_count, std::int32_t header_point_count,
                          char* text) {
  switch (format) {
    case MapFormat::kGpx:
      return WriteGpxTrack(name, records, loaded_byte_count, header_point_count, text);
    case MapFormat::kKml:
      return WriteKmlTrack(name, records, loaded_byte_count, header_point_count, text);
    case MapFormat::kGeoJson:
      break;
  }
  return WriteGeoJsonTrack(name, records, loaded_byte_count, header_point_count, text);
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

// The haversine form, which stays exact for points a few metres apart.
double TrackLength(const double* coordinates, std::int32_t points) {
  const double kRadiansPerDegree = std::acos(-1.0) / 180;
  double length = 0;
  for (std::ptrdiff_t i = 1; i < points; ++i) {
    const double* from = coordinates + 2 * (i - 1);
    const double* to = from + 2;
    const double sin_half_latitude = std::sin((to[0] - from[0]) * kRadiansPerDegree / 2);
    const double sin_half_longitude = std::sin((to[1] - from[1]) * kRadiansPerDegree / 2);
    const double h = sin_half_latitude * sin_half_latitude +
                     std::cos(from[0] * kRadiansPerDegree) * std::cos(to[0] * kRadiansPerDegree) *
                         sin_half_longitude * sin_half_longitude;
    length += 2 * kEarthRadius * std::asin(std::sqrt(std::fmin(h, 1.0)));
  }
  return length;
}
