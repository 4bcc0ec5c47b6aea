#!/usr/bin/env bash
# Draws a CSV track written by trb2csv as a PNG picture, with gnuplot
# (Debian package gnuplot-nox). Longitude runs across, latitude up, both in
# degrees, scaled so that the track keeps its shape.
#
#   tools/plot_track.sh TRACK.csv PICTURE.png [TITLE]
#
# Installed as trb2csv-plot.
set -euo pipefail
name=$(basename "$0")
usage() { echo "usage: $name TRACK.csv PICTURE.png [TITLE]"; }
# Usage errors end with status 2, files that are refused with 1.
refuse() {
  echo "$name: $2" >&2
  [ "$1" = 2 ] && usage >&2
  exit "$1"
}
if [ "${1:-}" = -h ] || [ "${1:-}" = --help ]; then
  usage
  echo "Draws the track in TRACK.csv, as trb2csv writes it, into the PNG picture"
  echo "PICTURE.png, which is replaced only by a whole new picture."
  exit 0
fi
[ $# -ge 2 ] && [ $# -le 3 ] || refuse 2 "a CSV file and a picture name are needed"
csv=$1
png=$2
title=${3:-$(basename "$csv")}
case ${png,,} in *.png) ;; *) refuse 2 "$png: the picture's name must end in .png" ;; esac
[ "$csv" -ef "$png" ] && refuse 2 "$png: is the CSV file itself"
[ -s "$csv" ] || refuse 1 "$csv: is missing or empty"
first_line=$(head -n 1 "$csv" | tr -d '\r')
[[ $first_line =~ ^-?[0-9]+\.[0-9]{6}\ ,\ -?[0-9]+\.[0-9]{6}\ ,\ \"[0-9]+\"$ ]] ||
  refuse 1 "$csv: is not a CSV file of trb2csv (its first line is not latitude , longitude , \"number\")"
if [ -e "$png" ] || [ -L "$png" ]; then
  [ "$(head -c 8 "$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    refuse 1 "$png: exists and is not a PNG picture, so it is not replaced"
fi

# Drawn into a file beside the picture, which takes its place only when
# gnuplot has succeeded.
drawing=$(mktemp "$(dirname "$png")/.$(basename "$png").XXXXXX")
trap 'rm -f "$drawing"' EXIT
chmod "$(printf '%o' $((0666 & ~$(umask))))" "$drawing"
# A name in single quotes for gnuplot, which doubles a single quote in it.
quoted() { printf "'%s'" "${1//\'/\'\'}"; }

# A degree of longitude is shorter than one of latitude by the cosine of the
# latitude: so that the track keeps its shape, a degree of latitude is drawn
# 1 / cos(mean latitude) times as long as one of longitude. Each axis gets at
# most six tics, a step of 1, 2 or 5 times a power of ten apart, the fewest
# whose labels still fit beside each other, with as many decimals as the step
# needs, and a range of whole steps.
read -r canvas y_scale x_step x_format x_range y_step y_format y_range < <(awk -F' , ' '
  function floor(x) { return x == int(x) || x > 0 ? int(x) : int(x) - 1 }
  # pixels: the length of the axis; across: how many pixels a label of n
  # characters takes along it, as a + b * n.
  function axis(low, high, pixels, a, b,   extent, power, i, step, decimals, format, label) {
    extent = high - low > 1e-5 ? high - low : 1e-5
    power = 10 ^ floor(log(extent / 20) / log(10))
    for (i = 0; ; i++) {
      step = (i % 3 == 0 ? 1 : i % 3 == 1 ? 2 : 5) * power * 10 ^ int(i / 3)
      decimals = -floor(log(step) / log(10) + 1e-9)
      format = "%." (decimals > 0 ? decimals : 0) "f"
      label = length(sprintf(format, high))
      if (length(sprintf(format, low)) > label) label = length(sprintf(format, low))
      if (extent / step <= 6 && extent / step * (a + b * label) <= pixels) break
    }
    return sprintf("%.10g \"%s\" [%.10g:%.10g]", step, format,
                   floor(low / step) * step, -floor(-high / step) * step)
  }
  NR == 1 { min_lat = max_lat = $1; min_lon = max_lon = $2 }
  { if ($1 < min_lat) min_lat = $1; if ($1 > max_lat) max_lat = $1
    if ($2 < min_lon) min_lon = $2; if ($2 > max_lon) max_lon = $2; sum += $1 }
  END {
    y_scale = 1 / cos(sum / NR * 3.14159265358979 / 180)
    # The drawn width to height, and the lengths of the axes in pixels.
    shape = (max_lon - min_lon + 1e-9) / ((max_lat - min_lat + 1e-9) * y_scale)
    width = shape > 1 ? 600 : 600 * shape
    height = shape > 1 ? 600 / shape : 600
    # The picture: the plot, with room for the labels, the title and the key.
    printf "%d,%d %.6f %s %s\n", width + 160, height + 180, y_scale,
           axis(min_lon, max_lon, width, 24, 8), axis(min_lat, max_lat, height, 30, 0)
  }' "$csv")

gnuplot <<GNUPLOT || refuse 1 "gnuplot failed; $png is left as it was"
set terminal pngcairo size $canvas font ",11" noenhanced
set output $(quoted "$drawing")
set datafile separator ","
set title $(quoted "$title")
set xlabel "longitude (degrees east)"
set ylabel "latitude (degrees north)"
set size ratio -$y_scale
set xrange $x_range
set yrange $y_range
set xtics $x_step format $x_format
set ytics $y_step format $y_format
set grid
set key below
plot $(quoted "$csv") using 2:1 title "track" with lines linewidth 2 linecolor rgb "#1f5fa8", \
     "" every ::0::0 using 2:1 title "point 1" with points pointtype 7 pointsize 1.5 linecolor rgb "#c0392b"
GNUPLOT
[ -s "$drawing" ] || refuse 1 "gnuplot drew nothing; $png is left as it was"
mv -f "$drawing" "$png"
