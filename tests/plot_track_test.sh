#!/usr/bin/env bash
# Runs the track plotter on good and wrong arguments: it draws a PNG from a
# trb2csv CSV file, refuses every name that would destroy a file (swapped
# arguments, a track file, the CSV itself, a file that is not a picture), and
# leaves an old picture as it was when gnuplot fails.
#
#   plot_track_test.sh PLOTTER PROGRAM SAMPLE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
plotter=$(realpath "$1")
program=$(realpath "$2")
cp "$3" "$work/ceTrackTail.trb"
cd "$work" || exit 1

timeout -k 2 10 "$program" -quiet </dev/null && cp KeloTrackTail.csv k.csv || fail "no CSV"
cp ceTrackTail.trb c2.trb
printf 'notes\n' > notes.png
ln -s k.csv link.png
mkdir -p fake && printf '#!/bin/sh\nexit 1\n' > fake/gnuplot && chmod +x fake/gnuplot
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }

"$plotter" k.csv out.png "Sample" && is_png out.png || fail "the sample was not drawn"
"$plotter" --help | grep -q '^usage: ' || fail "--help: no usage on standard output"
cp out.png old.png
for file in k.csv c2.trb ceTrackTail.trb notes.png old.png; do cp "$file" "$file.before"; done

# arguments, then the status it must end with; no file named may change.
while read -r status path arguments; do
  # shellcheck disable=SC2086
  PATH="$path:$PATH" "$plotter" $arguments >/dev/null 2>errors.txt
  got=$?
  [ "$got" = "$status" ] || fail "$arguments: status $got, not $status"
  [ "$status" = 0 ] || [ -s errors.txt ] || fail "$arguments: no cause on standard error"
done <<'TABLE'
0 . -h
2 . k.csv
2 . out.png k.csv
2 . k.csv c2.trb
2 . k.csv k.csv
2 . k.csv link.png
2 . k.csv picture.PNG.csv
1 . k.csv notes.png
1 . ceTrackTail.trb x.png
1 . missing.csv y.png
1 fake k.csv old.png
TABLE
for file in k.csv c2.trb ceTrackTail.trb notes.png old.png; do
  cmp -s "$file" "$file.before" || fail "$file was changed"
done
[ ! -e x.png ] && [ ! -e y.png ] || fail "a refused run left a picture"
leftovers=$(find . -name '.*.png.*')
[ -z "$leftovers" ] || fail "drawings left behind: $leftovers"

finish "track plotter"
