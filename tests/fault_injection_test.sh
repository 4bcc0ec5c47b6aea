#!/usr/bin/env bash
# Runs the real trb2csv under strace, which makes one system call on the
# track file, the CSV file or the console fail, for every such call of a run,
# and checks each time the console text, the exit status and both files: the
# track file is never changed, a run that reports success has written the
# whole CSV file, and a failed write never leaves new lines before old ones
# unreported.
#
#   fault_injection_test.sh PROGRAM
set -u
program=$(realpath "$1")
work=$(mktemp -d)
failures=0
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
# In a sanitizer build: the leak checker cannot work under strace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

banner='KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09'
prompt=$'\nPress any key'

# The track: 200 header bytes, a point count of 3 and three records.
record() { printf "$1"; head -c 40 /dev/zero; }
{
  head -c 200 /dev/zero
  printf '\003\000\000\000'
  record '\000\000\000\000\000\300J@'  # 53.5, then zeros: longitude 0
  record '\000\000\000\000\000\000$@'  # 10.0
  record '\000\000\000\000\000\000\000\300'  # -2.0
} > track.trb
# An earlier CSV file, longer than the new one, so that it must be cut.
for _ in $(seq 40); do printf 'an older line\r\n'; done > old.csv
# A track that reaches the load limit: its notice is console text too.
{ head -c 200 /dev/zero; printf '\377\377\377\177'; head -c 70000 /dev/zero; } > large.trb

# Runs trb2csv in a fresh folder, under strace when arguments are given.
# Sets $status and $console; leaves the CSV file in run/.
run() {
  rm -rf run && mkdir run && cp "$track" run/ceTrackTail.trb && cp old.csv run/KeloTrackTail.csv
  (cd run && setsid -w "$@" "$program" </dev/null >console.txt 2>/dev/null)
  status=$?
  console=$(cat run/console.txt; echo .)
  console=${console%.}
}

for track in track.trb large.trb; do
  run
  [ "$status" -le 1 ] || { fail "a run without faults failed: $console"; exit 1; }
  cp run/KeloTrackTail.csv "${track%.trb}.csv"
done
track=track.trb
summary='ceTrackTail.trb --> KeloTrackTail.csv : 3 Trackpoints'

# call  file  error  when  what the run must give
while read -r call file error when outcome; do
  case $file in
    input) path=ceTrackTail.trb ;;
    output) path=KeloTrackTail.csv ;;
    console) path=console.txt ;;
  esac
  inject="$call:error=$error:when=$when"
  [ "$error" = EPIPE ] && inject="$inject:signal=SIGPIPE"
  track=track.trb
  [ "$outcome" = large_console_lost ] && track=large.trb
  run strace -qq -o /dev/null -P "$path" -e trace="$call" -e inject="$inject"
  case="$call on the $file, $error at call $when"
  csv=run/KeloTrackTail.csv
  expected_status=1
  case $outcome in
    whole)
      expected_status=0
      expected="$banner"$'\n'"$summary"$'\n'"$prompt"
      cmp -s "$csv" track.csv || fail "$case: the CSV file is not whole" ;;
    not_read)
      expected="$banner"$'\n'"ceTrackTail.trb could not opened!"$'\n'"$prompt"
      cmp -s "$csv" old.csv || fail "$case: the CSV file was changed" ;;
    not_opened)
      expected="$banner"$'\n'"KeloTrackTail.csv could not opend!"$'\n'
      expected+="ceTrackTail.trb --> KeloTrackTail.csv : 0 Trackpoints"$'\n'"$prompt"
      cmp -s "$csv" old.csv || fail "$case: the CSV file was changed" ;;
    not_written | not_cut | not_closed)
      expected="$banner"$'\n'"KeloTrackTail.csv could not be written!"$'\n'"$prompt"
      case $outcome in
        not_written) head -c "$(wc -c < "$csv")" track.csv | cmp -s - "$csv" || cmp -s "$csv" old.csv ||
          fail "$case: the CSV file holds more than the first new lines" ;;
        not_cut) { cat track.csv; tail -c +$(($(wc -c < track.csv) + 1)) old.csv; } | cmp -s - "$csv" ||
          fail "$case: the CSV file is not the new lines before the old rest" ;;
        not_closed) cmp -s "$csv" track.csv || fail "$case: the CSV file is not whole" ;;
      esac ;;
    console_lost)
      expected_status=0
      expected=""
      cmp -s "$csv" track.csv || fail "$case: the CSV file is not whole" ;;
    large_console_lost)
      expected=""
      cmp -s "$csv" large.csv || fail "$case: the CSV file is not whole" ;;
  esac
  [ "$status" = "$expected_status" ] || fail "$case: exit status $status"
  [ "$console" = "$expected" ] || fail "$case: console text: $console"
  cmp -s run/ceTrackTail.trb "$track" || fail "$case: the track file was changed"
done <<'TABLE'
openat      input   EIO     1+  not_read
openat      input   EACCES  1+  not_read
openat      input   EINTR   1   whole
read        input   EIO     1   not_read
read        input   EIO     2   not_read
read        input   EIO     3   not_read
read        input   EINTR   1   whole
read        input   EINTR   2   whole
read        input   EINTR   3   whole
close       input   EIO     1   whole
newfstatat  input   EIO     1   whole
newfstatat  output  EIO     1   whole
openat      output  EIO     1+  not_opened
openat      output  ENOSPC  1+  not_opened
openat      output  EINTR   1   whole
newfstatat  output  EIO     2   not_written
write       output  ENOSPC  1+  not_written
write       output  EIO     1+  not_written
write       output  EPIPE   1+  not_written
write       output  EINTR   1   whole
ftruncate   output  EIO     1+  not_cut
ftruncate   output  EINTR   1   whole
close       output  EIO     1   not_closed
close       output  EINTR   1   not_closed
write       console EIO     1+  console_lost
write       console EPIPE   1+  console_lost
write       console EPIPE   1+  large_console_lost
TABLE

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "fault injection: all cases passed"
