#!/usr/bin/env bash
# Draws a CSV track written by trb2csv as a PNG picture, with gnuplot
# (Debian package gnuplot-nox). Longitude runs across, latitude up, both in
# degrees, scaled so that the track keeps its shape.
#
#   tools/plot_track.sh TRACK.csv PICTURE.png [TITLE]
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: tools/plot_track.sh TRACK.csv PICTURE.png [TITLE]" >&2
  exit 2
fi
csv=$1
png=$2
title=${3:-$(basename "$csv")}
[ -s "$csv" ] || { echo "plot_track: $csv is missing or empty" >&2; exit 1; }

# A degree of longitude is shorter than one of latitude by the cosine of the
# latitude: the picture's height to width follows from the track's extent.
read -r ratio < <(awk -F' , ' '
  NR == 1 { min_lat = max_lat = $1; min_lon = max_lon = $2 }
  { if ($1 < min_lat) min_lat = $1; if ($1 > max_lat) max_lat = $1
    if ($2 < min_lon) min_lon = $2; if ($2 > max_lon) max_lon = $2; sum += $1 }
  END { width = (max_lon - min_lon) * cos(sum / NR * 3.14159265 / 180)
        printf "%.6f\n", (width > 0 ? (max_lat - min_lat) / width : 1) }' "$csv")

gnuplot <<GNUPLOT
set terminal pngcairo size 640,800 font ",11" noenhanced
set output "$png"
set datafile separator ","
set title "$title"
set xlabel "longitude (degrees east)"
set ylabel "latitude (degrees north)"
set size ratio $ratio
set format x "%.3f"
set format y "%.3f"
set xtics 0.004
set grid
set key top left
plot "$csv" using 2:1 title "track" with lines linewidth 2 linecolor rgb "#1f5fa8", \
     "" every ::0::0 using 2:1 title "point 1" with points pointtype 7 pointsize 1.5 linecolor rgb "#c0392b"
GNUPLOT
