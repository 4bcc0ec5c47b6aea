#!/usr/bin/env bash
# Runs the track plotter on good and wrong arguments: it draws a PNG from a
# trb2csv CSV file, refuses every name that would destroy a file (swapped
# arguments, a track file, the CSV itself, a file that is not a picture), and
# leaves an old picture as it was when gnuplot fails or draws nothing. No
# name and no title reaches gnuplot as a command, and no number makes any awk
# hang (mawk, gawk, BusyBox).
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
mkdir -p fake empty && printf '#!/bin/sh\nexit 1\n' > fake/gnuplot && chmod +x fake/gnuplot
printf '#!/bin/sh\ncat >/dev/null\n' > empty/gnuplot && chmod +x empty/gnuplot
# Each awk as the plotter's awk, in a folder for PATH.
for awk in mawk gawk busybox; do
  mkdir -p "$awk"
  command -v "$awk" >/dev/null || continue
  printf '#!/bin/sh\nexec %s "$@"\n' "$awk" > "$awk/awk"
  [ "$awk" != busybox ] || printf '#!/bin/sh\nexec busybox awk "$@"\n' > "$awk/awk"
  chmod +x "$awk/awk"
done
# Numbers that are no coordinate of trb2csv's, after a good first line.
numbers="1e400 -inf nan 361.000000 1.5 x1.000000"
for number in $numbers; do
  { head -n 1 k.csv; printf '%s , 1.000000 , "2"\r\n' "$number"; } > "bad$number.csv"
done
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }
# Tracks that span nothing across: a receiver without a fix writes 0,0.
printf '0.000000 , 0.000000 , "1"\r\n' > zero.csv
printf '0.000000 , 0.000000 , "1"\r\n0.000000 , 0.000000 , "2"\r\n' > zeros.csv
printf '0.000000 , 9.500000 , "1"\r\n0.000000 , 10.000000 , "2"\r\n' > equator.csv
cp k.csv ./-h

"$plotter" k.csv out.png "Sample" && is_png out.png || fail "the sample was not drawn"
"$plotter" --help | grep -q '^usage: ' || fail "--help: no usage on standard output"
cp out.png old.png
cp out.png redrawn.png
cp k.csv ./-k.csv
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
1 empty k.csv old.png
0 . k.csv redrawn.png
0 . -k.csv -drawn.png
2 . -h h.png
0 . -- -h after-dashes.png
0 . ./-h as-path.png
0 . zero.csv zero.png
0 . zeros.csv zeros.png
0 . equator.csv equator.png
TABLE
for file in k.csv c2.trb ceTrackTail.trb notes.png old.png; do
  cmp -s "$file" "$file.before" || fail "$file was changed"
done
[ ! -e x.png ] && [ ! -e y.png ] || fail "a refused run left a picture"
for picture in redrawn.png ./-drawn.png after-dashes.png as-path.png zero.png zeros.png equator.png; do
  is_png "$picture" || fail "$picture was not drawn"
done
[ ! -e h.png ] || fail "-h with other arguments drew a picture"

# Each awk draws the sample and refuses every number that is none of trb2csv's.
for awk in mawk gawk busybox; do
  [ -x "$awk/awk" ] || { echo "$awk is not installed: left out"; continue; }
  PATH="$PWD/$awk:$PATH" timeout -k 2 20 "$plotter" k.csv "$awk.png" && is_png "$awk.png" ||
    fail "$awk: the sample was not drawn"
  for number in $numbers; do
    PATH="$PWD/$awk:$PATH" timeout -k 2 20 "$plotter" "bad$number.csv" bad.png 2>/dev/null
    got=$?
    [ "$got" = 1 ] || fail "$awk: a CSV holding $number: status $got, not 1"
  done
done

# A title or a CSV name with commands for gnuplot on lines of their own is
# shown as it is written.
commands=$'\nsystem("touch pwned")\n`touch pwned`\n'
cp k.csv "trip${commands}.csv"
"$plotter" "trip${commands}.csv" named.png && is_png named.png || fail "a CSV name with new lines"
"$plotter" k.csv titled.png "title${commands}" && is_png titled.png || fail "a title with new lines"
# Quotes of every kind, in a title and in the name that is the title.
cp k.csv "'Alster'.csv"
"$plotter" "'Alster'.csv" quoted.png && is_png quoted.png || fail "a CSV name in single quotes"
for title in "'" "''" "'Alster'" "a'b''c" '"' 'back\' '`touch pwned`' '@pwned'; do
  "$plotter" k.csv quoted.png "$title" 2>/dev/null && is_png quoted.png || fail "the title $title"
done
[ ! -e pwned ] || fail "a name or title ran a command"
leftovers=$(find . -name '.*.png.*')
[ -z "$leftovers" ] || fail "drawings left behind: $leftovers"

finish "track plotter"
