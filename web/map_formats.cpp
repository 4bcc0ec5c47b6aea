#include "map_formats.h"

#include <cmath>
#include <cstddef>
#include <cstring>

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

std::int32_t CountPoints(const unsigned char* records, std::int32_t loaded, std::int32_t count) {
  std::int32_t points = 0;
  WalkPointsOnTheEarth(records, loaded, count, [&points](double, double) { ++points; });
  return points;
}

// XML 1.0 cannot hold control characters but tab, line feed and carriage
// return, nor U+FFFE and U+FFFF (EF BF BE, EF BF BF): they become U+FFFD.
char* AppendXmlEscaped(char* text, const char* name) {
  for (; *name != '\0'; ++name) {
    const auto byte = static_cast<unsigned char>(*name);
    const bool noncharacter = byte == 0xEF && static_cast<unsigned char>(name[1]) == 0xBF &&
                              (static_cast<unsigned char>(name[2]) & 0xFE) == 0xBE;
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || noncharacter) {
      text = Append(text, "\xEF\xBF\xBD");
      if (noncharacter) name += 2;
      continue;
    }
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

// GPX 1.1 takes longitudes from -180 up to, not including, 180: the meridian
// of 180 degrees is written as -180, as a longitude that rounds to it.
char* AppendGpxLongitude(char* text, double longitude) {
  char* end = FormatFixed6(longitude, text);
  const char kEast[] = "180.000000";
  if (end - text == sizeof kEast - 1 && std::memcmp(text, kEast, sizeof kEast - 1) == 0) {
    end = Append(text, "-180.000000");
  }
  return end;
}

std::size_t WriteGpxTrack(const char* name, const unsigned char* records, std::int32_t loaded,
                          std::int32_t count, char* gpx) {
  char* end = AppendXmlEscaped(Append(gpx, "<trk><name>"), name);
  end = Append(end, "</name><trkseg>\n");
  WalkPointsOnTheEarth(records, loaded, count, [&end](double latitude, double longitude) {
    end = Append(FormatFixed6(latitude, Append(end, "<trkpt lat=\"")), "\" lon=\"");
    end = Append(AppendGpxLongitude(end, longitude), "\"/>\n");
  });
  end = Append(end, "</trkseg></trk>\n");
  return static_cast<std::size_t>(end - gpx);
}

// A line string needs two positions: a track of one is a point.
std::size_t WriteKmlTrack(const char* name, const unsigned char* records, std::int32_t loaded,
                          std::int32_t count, char* kml) {
  const std::int32_t points = CountPoints(records, loaded, count);
  char* end = AppendXmlEscaped(Append(kml, "<Placemark><name>"), name);
  end =
      AppendText(end, points > 1 ? "</name>\n<LineString><tessellate>1</tessellate><coordinates>\n"
                                 : "</name>\n<Point><coordinates>\n");
  WalkPointsOnTheEarth(records, loaded, count, [&end](double latitude, double longitude) {
    end = Append(FormatFixed6(longitude, end), ",");
    end = Append(FormatFixed6(latitude, end), "\n");
  });
  end = AppendText(end, points > 1 ? "</coordinates></LineString></Placemark>\n"
                                   : "</coordinates></Point></Placemark>\n");
  return static_cast<std::size_t>(end - kml);
}

char* AppendPosition(char* text, double longitude, double latitude) {
  text = Append(FormatFixed6(longitude, Append(text, "[")), ",");
  return Append(FormatFixed6(latitude, text), "]");
}

// The positions of a track as GeoJSON takes them (RFC 7946, 3.1.9): cut
// into parts where a step, the shorter way round, crosses the antimeridian,
// at the latitude where it crosses on a straight line in longitude and
// latitude. A point on the antimeridian itself is on the side of the points
// before it (of the first point beside it, where it leads), so that -180 and
// 180 next to each other are no step round the earth.
class AntimeridianPath {
 public:
  explicit AntimeridianPath(double first_side) : side_(first_side < 0 ? -180 : 180) {}

  // The next position; calls cut(leaving, latitude) first where the step to
  // it crosses: leaving is the meridian (180 or -180) it leaves by. Returns
  // the longitude to write.
  template <typename Cut>
  double Step(double longitude, double latitude, Cut cut) {
    if (std::fabs(longitude) == 180) longitude = side_;
    const double unwrapped = ShorterWayRound(longitude_, longitude);
    if (started_ && unwrapped != longitude) {
      const double leaving = unwrapped > longitude ? 180 : -180;
      const double share = (leaving - longitude_) / (unwrapped - longitude_);
      cut(leaving, latitude_ + share * (latitude - latitude_), share == 0);
    }
    started_ = true;
    longitude_ = longitude;
    latitude_ = latitude;
    if (std::fabs(longitude) < 180) side_ = longitude < 0 ? -180 : 180;
    return longitude;
  }

 private:
  double side_;
  bool started_ = false;
  double longitude_ = 0;
  double latitude_ = 0;
};

std::size_t WriteGeoJsonTrack(const char* name, const unsigned char* records, std::int32_t loaded,
                              std::int32_t count, char* json) {
  std::int32_t points = 0;
  double first_side = 0;  // of the first point off the antimeridian, or of the first
  WalkPointsOnTheEarth(records, loaded, count, [&](double, double longitude) {
    if (points++ == 0 || (std::fabs(first_side) == 180 && std::fabs(longitude) < 180)) {
      first_side = longitude;
    }
  });
  if (points == 0) return 0;
  bool crosses = false;
  AntimeridianPath look(first_side);
  WalkPointsOnTheEarth(records, loaded, count, [&](double latitude, double longitude) {
    look.Step(longitude, latitude, [&crosses](double, double, bool) { crosses = true; });
  });
  const char* geometry = points == 1 ? "Point" : crosses ? "MultiLineString" : "LineString";
  char* end =
      AppendJsonEscaped(Append(json, "{\"type\":\"Feature\",\"properties\":{\"name\":\""), name);
  end = AppendText(AppendText(end, "\"},\"geometry\":{\"type\":\""), geometry);
  end = AppendText(end, points == 1 ? "\",\"coordinates\":"
                        : crosses   ? "\",\"coordinates\":[["
                                    : "\",\"coordinates\":[");
  AntimeridianPath path(first_side);
  bool written = false;
  WalkPointsOnTheEarth(records, loaded, count, [&](double latitude, double longitude) {
    // A part ends on the meridian it leaves by, unless its last point lies
    // there, and the next begins on the other side.
    longitude = path.Step(longitude, latitude, [&end](double leaving, double at, bool on_it) {
      if (!on_it) end = AppendPosition(Append(end, ","), leaving, at);
      end = AppendPosition(Append(end, "],["), -leaving, at);
    });
    if (written) end = Append(end, ",");
    end = AppendPosition(end, longitude, latitude);
    written = true;
  });
  end = AppendText(end, points == 1 ? "}}" : crosses ? "]]}}" : "]}}");
  return static_cast<std::size_t>(end - json);
}

}  // namespace

double ShorterWayRound(double from, double to) {
  while (to - from > 180) to -= 360;
  while (to - from < -180) to += 360;
  return to;
}

void UnwrapLongitudes(const double* coordinates, std::int32_t points, double* longitudes) {
  for (std::int32_t i = 0; i < points; ++i) {
    const double longitude = coordinates[2 * i + 1];
    longitudes[i] = i == 0 ? longitude : ShorterWayRound(longitudes[i - 1], longitude);
  }
}

bool IsOnTheEarth(double latitude, double longitude) {
  return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

MapDocument DocumentOf(MapFormat format) {
  switch (format) {
    case MapFormat::kGpx:
      return {"GPX",
              ".gpx",
              "application/gpx+xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"trb2csv\" "
              "xmlns=\"http://www.topografix.com/GPX/1/1\">\n",
              "",
              "</gpx>\n"};
    case MapFormat::kKml:
      return {"KML",
              ".kml",
              "application/vnd.google-earth.kml+xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n",
              "",
              "</Document>\n</kml>\n"};
    case MapFormat::kGeoJson:
      break;
  }
  return {"GeoJSON",
          ".geojson",
          "application/geo+json",
          "{\"type\":\"FeatureCollection\",\"features\":[\n",
          ",\n",
          "\n]}\n"};
}

std::size_t WriteMapTrack(MapFormat format, const char* name, const unsigned char* records,
                          std::int32_t loaded_byte_count, std::int32_t header_point_count,
                          char* text) {
  if (CountPoints(records, loaded_byte_count, header_point_count) == 0) return 0;
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
