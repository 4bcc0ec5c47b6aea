// The track as a GPS program or a map takes it, for the web page's saves:
//
// GPX 1.1, one track of one segment, a track point for each line of the CSV
// file whose position is on the earth, with the line's six-decimal text:
//
//   <trkpt lat="53.558080" lon="10.004000"/>
//
// KML 2.2, one placemark with a line string through the same points, one
// "longitude,latitude" pair to a line.
//
// The CSV file keeps coordinates up to 360 degrees; a position on the earth
// (WGS84) has a latitude within +-90 and a longitude within +-180 degrees.
// The console program writes neither format.

#ifndef TRB2CSV_MAP_FORMATS_H_
#define TRB2CSV_MAP_FORMATS_H_

#include <cstddef>
#include <cstdint>

#include "csv_format.h"

bool IsOnTheEarth(double latitude, double longitude);

constexpr std::size_t kMaxGpxSize =
    512 + kMaxRecords * sizeof("<trkpt lat=\"-90.000000\" lon=\"-180.000000\"/>\n");
constexpr std::size_t kMaxKmlSize = 512 + kMaxRecords * sizeof("-180.000000,-90.000000\n");

// Write the file for the loaded records, read as ConvertToCsv reads them,
// into text, which must hold kMaxGpxSize or kMaxKmlSize bytes. Return the
// size of the text.
std::size_t WriteGpx(const unsigned char* records, std::int32_t loaded_byte_count,
                     std::int32_t header_point_count, char* gpx);
std::size_t WriteKml(const unsigned char* records, std::int32_t loaded_byte_count,
                     std::int32_t header_point_count, char* kml);

// Stores latitude and longitude of each of those points, in that order, in
// coordinates, which must hold 2 * kMaxRecords values. Returns the number of
// points.
std::int32_t TakePointsOnTheEarth(const unsigned char* records, std::int32_t loaded_byte_count,
                                  std::int32_t header_point_count, double* coordinates);

#endif  // TRB2CSV_MAP_FORMATS_H_
