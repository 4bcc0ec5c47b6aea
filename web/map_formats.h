// The track as a GPS program or a map takes it, for the web page's saves.
//
// A document holds one track per file, each named after its file: the
// document's head, the tracks with a separator between them, and its tail.
//
// GPX 1.1: a track of one segment, a track point for each line of the CSV
// file whose position is on the earth, with the line's six-decimal text
// (a longitude of 180 written as -180, which GPX takes):
//
//   <trk><name>walk</name><trkseg>
//   <trkpt lat="53.558080" lon="10.004000"/>
//
// KML 2.2: in a document, a placemark with a line string through the same
// points, one "longitude,latitude" pair to a line (a point where the track
// has one position only).
//
// GeoJSON (RFC 7946): a feature collection, a feature per track with its
// name as a property and a LineString of [longitude, latitude] positions (a
// Point where the track has one position only), cut into a MultiLineString
// where it crosses the antimeridian the shorter way.
//
// Names lose what XML 1.0 cannot hold: control characters become U+FFFD.
//
// The CSV file keeps coordinates up to 360 degrees; a position on the earth
// (WGS84) has a latitude within +-90 and a longitude within +-180 degrees.
// The console program writes none of these formats.

#ifndef TRB2CSV_MAP_FORMATS_H_
#define TRB2CSV_MAP_FORMATS_H_

#include <cstddef>
#include <cstdint>

#include "csv_format.h"

bool IsOnTheEarth(double latitude, double longitude);

enum class MapFormat { kGpx, kKml, kGeoJson };
constexpr int kMapFormats = 3;

struct MapDocument {
  const char* name;  // "GPX"
  const char* extension;
  const char* media_type;
  const char* head;
  const char* separator;  // between two tracks
  const char* tail;
};
MapDocument DocumentOf(MapFormat format);

// A track's name is its file's name without the extension: at most 255
// bytes. Escaped, each byte takes at most six ("&quot;", "\u001f"). A record
// takes at most a GPX track point, or in GeoJSON its position and two more
// where the track crosses the antimeridian after it.
constexpr std::size_t kMaxTrackNameSize = 255;
constexpr std::size_t kMaxMapTrackSize =
    512 + 6 * kMaxTrackNameSize +
    std::size_t{2} * kMaxRecords * sizeof("<trkpt lat=\"-90.000000\" lon=\"-180.000000\"/>\n");

// Writes the track of the loaded records, read as ConvertToCsv reads them,
// under the given name (UTF-8, zero-terminated) into text, which must hold
// kMaxMapTrackSize bytes. Returns the size of the text; 0 when no point is
// on the earth, as a track needs a position.
std::size_t WriteMapTrack(MapFormat format, const char* name, const unsigned char* records,
                          std::int32_t loaded_byte_count, std::int32_t header_point_count,
                          char* text);

// Stores latitude and longitude of each of those points, in that order, in
// coordinates, which must hold 2 * kMaxRecords values. Returns the number of
// points.
std::int32_t TakePointsOnTheEarth(const unsigned char* records, std::int32_t loaded_byte_count,
                                  std::int32_t header_point_count, double* coordinates);

// The mean radius of the earth (IUGG), in metres.
constexpr double kEarthRadius = 6371008.8;

// The antimeridian's rule, for the saved tracks and the page's drawing
// alike: a step goes the shorter way round the earth, and a step of exactly
// 180 degrees as it is written. Returns to, less or more whole turns, within
// 180 degrees of from.
double ShorterWayRound(double from, double to);

// The longitudes of those points (coordinates as TakePointsOnTheEarth
// gives them), each the shorter way round from the one before.
void UnwrapLongitudes(const double* coordinates, std::int32_t points, double* longitudes);

// The length of the track along those points, in metres: the great-circle
// distances between neighbours on a sphere of the earth's mean radius.
double TrackLength(const double* coordinates, std::int32_t points);

#endif  // TRB2CSV_MAP_FORMATS_H_
