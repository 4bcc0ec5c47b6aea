#!/usr/bin/env bash
# Follows the README's recipe from CSV to a map on the sample track: gpsbabel
# makes a GPX track and a KML line of all 360 points, starting where the
# track starts, each point named by its number alone.
#
#   map_recipe_test.sh PROGRAM SAMPLE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
program=$(realpath "$1")
cp "$2" "$work/ceTrackTail.trb"
cd "$work" || exit 1

timeout -k 2 10 "$program" -quiet </dev/null || fail "the sample was not converted (or hung)"
gpsbabel -i unicsv,fields=lat+lon+name -f KeloTrackTail.csv -x transform,trk=wpt,del -o gpx -F track.gpx ||
  fail "no GPX"
gpsbabel -i unicsv,fields=lat+lon+name -f KeloTrackTail.csv -x transform,trk=wpt,del -o kml,points=0 -F track.kml ||
  fail "no KML"

[ "$(grep -c '<trkpt ' track.gpx)" = 360 ] || fail "GPX: not 360 track points"
grep -m1 '<trkpt ' track.gpx | grep -qF 'lat="53.558080000" lon="10.004000000"' ||
  fail "GPX: the first point is not the track's first"
grep -m1 -A1 '<trkpt ' track.gpx | grep -qx ' *<name>1</name>' || fail "GPX: the first point is not named 1"
[ "$(grep -c '<LineString>' track.kml)" = 1 ] || fail "KML: not one line"
coordinates=$(sed -n '/<coordinates>/,/<\/coordinates>/p' track.kml | grep -c '^[0-9.-]*,[0-9.-]*')
[ "$coordinates" = 360 ] || fail "KML: $coordinates points in the line, not 360"
grep -m1 -x '10.004000,53.558080' track.kml >/dev/null || fail "KML: the line does not start at the first point"

finish "map recipe"
