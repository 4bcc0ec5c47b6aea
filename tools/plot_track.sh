#!/usr/bin/env bash
# Draws a CSV track written by trb2csv as a PNG picture, with gnuplot
# (Debian package gnuplot-nox). Longitude runs across, latitude up, both in
# degrees, scaled so that the track keeps its shape.
#
#   tools/plot_track.sh TRACK.csv PICTURE.png [TITLE]
#
# Installed as trb2csv-plot. gnuplot is given data, never a name: the points
# come checked and rewritten by awk, the picture goes to its standard
# output, and the title is a string in single quotes without control
# characters.
set -euo pipefail
export LC_ALL=C  # bytes, and a full stop in numbers
name=$(basename -- "$0")
usage() { echo "usage: $name [--] TRACK.csv PICTURE.png [TITLE]"; }
# Usage errors end with status 2, files that are refused with 1.
refuse() {
  echo "$name: $2" >&2
  [ "$1" = 2 ] && usage >&2
  exit "$1"
}
if [ "${1:-}" = -h ] || [ "${1:-}" = --help ]; then
  # A CSV file of that name is drawn after --, or named as ./-h.
  [ $# = 1 ] || refuse 2 "$1 asks for the usage alone; a file named $1 is written -- $1 or ./$1"
  usage
  echo "Draws the track in TRACK.csv, as trb2csv writes it, into the PNG picture"
  echo "PICTURE.png, which is replaced only by a whole new picture. After --, every"
  echo "argument is a name or the title, also one that starts with -."
  exit 0
fi
[ "${1:-}" != -- ] || shift
[ $# -ge 2 ] && [ $# -le 3 ] || refuse 2 "a CSV file and a picture name are needed"
csv=$1
png=$2
title=${3-$(basename -- "$csv")}
title=${title//[[:cntrl:]]/ }  # a newline would end gnuplot's string
case ${png,,} in *.png) ;; *) refuse 2 "$png: the picture's name must end in .png" ;; esac
[ "$csv" -ef "$png" ] && refuse 2 "$png: is the CSV file itself"
[ -f "$csv" ] && [ -s "$csv" ] || refuse 1 "$csv: is missing, empty or not a file"
is_png() { [ "$(head -c 8 -- "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }
if [ -e "$png" ] || [ -L "$png" ]; then
  is_png "$png" || refuse 1 "$png: exists and is not a PNG picture, so it is not replaced"
fi

# Drawn into a file beside the picture, which takes its place only when
# gnuplot has drawn a picture.
drawing=$(mktemp -- "$(dirname -- "$png")/.$(basename -- "$png").XXXXXX")
trap 'rm -f -- "$drawing"' EXIT
trap 'exit 1' HUP INT TERM
chmod "$(printf '%o' $((0666 & ~$(umask))))" -- "$drawing"
# A string for gnuplot with every byte written as an octal escape: no quote
# of any kind ends it early, and no backquote or @ in it is a command.
quoted() {
  local byte
  printf '"'
  for byte in $(printf '%s' "$1" | od -An -v -to1); do printf '\\%s' "$byte"; done
  printf '"'
}

# Every line must be one of trb2csv: latitude and longitude with six
# decimals, within 360 degrees, and the point's number. awk writes the points
# as gnuplot's data, longitude first, and then the settings. A degree of
# longitude is shorter than one of latitude by the cosine of the latitude:
# so that the track keeps its shape, a degree of latitude is drawn
# 1 / cos(mean latitude) times as long as one of longitude. Each axis gets at
# most six tics, a step of 1, 2 or 5 times a power of ten apart, the fewest
# whose labels still fit beside each other, with as many decimals as the step
# needs, and a range of whole steps.
points=$(awk '
  # Without log, cos and ^, which an awk without its maths library (BusyBox)
  # lacks; every loop is bounded, as the values are.
  function floor(x) { return x == int(x) || x > 0 ? int(x) : int(x) - 1 }
  function power_of_ten_below(x,   p) {
    p = 1
    while (p > x && p > 1e-12) p /= 10
    while (p * 10 <= x) p *= 10
    return p
  }
  function decimals(step,   n, p) {
    n = 0
    for (p = 1; p > step * (1 + 1e-9) && n < 15; p /= 10) n++
    return n
  }
  function cosine(x,   term, sum, i) {
    x -= 6.283185307179586 * int(x / 6.283185307179586)
    term = sum = 1
    for (i = 1; i <= 25; i++) { term *= -x * x / ((2 * i - 1) * (2 * i)); sum += term }
    return sum
  }
  # pixels: the length of the axis; across: how many pixels a label of n
  # characters takes along it, as a + b * n.
  function axis(low, high, pixels, a, b,   extent, step, i, format, label) {
    extent = high - low > 1e-5 ? high - low : 1e-5
    step = power_of_ten_below(extent / 20)
    for (i = 0; i < 30; i++) {
      format = "%." decimals(step) "f"
      label = length(sprintf(format, high))
      if (length(sprintf(format, low)) > label) label = length(sprintf(format, low))
      if (extent / step <= 6 && extent / step * (a + b * label) <= pixels) break
      step *= i % 3 == 1 ? 2.5 : 2  # 1, 2, 5, 10, 20, 50, ...
    }
    return sprintf("%.10g \"%s\" [%.10g:%.10g]", step, format,
                   floor(low / step) * step, -floor(-high / step) * step)
  }
  BEGIN {
    d = "[0-9]"
    number = "-?" d "(" d ")?(" d ")?\\." d d d d d d
    line = "^" number " , " number " , \"" d "+\"\r?$"
  }
  $0 !~ line || ($1 + 0) > 360 || ($1 + 0) < -360 || ($3 + 0) > 360 || ($3 + 0) < -360 {
    print "line " NR " is not latitude , longitude , \"number\" as trb2csv writes it"
    bad = 1
    exit 1
  }
  {
    latitude = $1 + 0; longitude = $3 + 0
    if (NR == 1) { min_lat = max_lat = latitude; min_lon = max_lon = longitude }
    if (latitude < min_lat) min_lat = latitude; if (latitude > max_lat) max_lat = latitude
    if (longitude < min_lon) min_lon = longitude; if (longitude > max_lon) max_lon = longitude
    sum += latitude
    data[NR] = sprintf("%.6f %.6f", longitude, latitude)
  }
  END {
    if (bad) exit 1
    y_scale = 1 / cosine(sum / NR * 3.14159265358979 / 180)
    if (y_scale < 0) y_scale = -y_scale
    if (y_scale > 100) y_scale = 100  # at a pole
    # One point, or a track along a parallel or a meridian (0,0 where a
    # receiver had no fix), spans nothing across: it gets a margin there of a
    # tenth of its length and 0.0001 degrees, so that each range has a width.
    lat_margin = (max_lon - min_lon) / y_scale / 10
    lon_margin = (max_lat - min_lat) * y_scale / 10
    lat_margin += 1e-4
    lon_margin += 1e-4 * y_scale
    if (max_lat - min_lat < 1e-6) { min_lat -= lat_margin; max_lat += lat_margin }
    if (max_lon - min_lon < 1e-6) { min_lon -= lon_margin; max_lon += lon_margin }
    # The drawn width to height, and the lengths of the axes in pixels.
    shape = (max_lon - min_lon + 1e-9) / ((max_lat - min_lat + 1e-9) * y_scale)
    width = shape > 1 ? 600 : 600 * shape
    height = shape > 1 ? 600 / shape : 600
    if (width < 60) width = 60
    if (height < 60) height = 60
    # The picture: the plot, with room for the labels, the title and the key.
    printf "%d,%d %.6f %s %s\n", width + 160, height + 180, y_scale,
           axis(min_lon, max_lon, width, 24, 8), axis(min_lat, max_lat, height, 30, 0)
    for (i = 1; i <= NR; i++) print data[i]
  }' <"$csv") || refuse 1 "$csv: ${points:-awk could not read it}"
read -r canvas y_scale x_step x_format x_range y_step y_format y_range <<<"${points%%$'\n'*}"
data=${points#*$'\n'}

gnuplot >"$drawing" <<GNUPLOT || refuse 1 "gnuplot failed; $png is left as it was"
set terminal pngcairo size $canvas font ",11" noenhanced
\$track << EOD
$data
EOD
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
plot \$track using 1:2 title "track" with lines linewidth 2 linecolor rgb "#1f5fa8", \
     \$track every ::0::0 using 1:2 title "point 1" with points pointtype 7 pointsize 1.5 linecolor rgb "#c0392b"
GNUPLOT
is_png "$drawing" || refuse 1 "gnuplot drew no picture; $png is left as it was"
mv -f -- "$drawing" "$png"
