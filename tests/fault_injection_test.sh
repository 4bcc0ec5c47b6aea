#!/usr/bin/env bash
# Runs the real trb2csv under strace, which makes one system call on the
# track file, the CSV file or the console fail, for every such call of a run,
# and checks each time the console text, the exit status and both files: the
# track file is never changed, a run that reports success has written the
# whole CSV file, a failed write never leaves new lines before old ones
# unreported, a check that cannot be made refuses the run, and a failed run
# says why on standard error.
#
#   fault_injection_test.sh PROGRAM WRITE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
program=$(realpath "$1")
write_track=$(realpath "$2")
cd "$work" || exit 1

# The track: a point count of 3 and three records.
"$write_track" track.trb 3 53.5,0 10,0 -2,0
# An earlier CSV file, longer than the new one, so that it must be cut, and
# one shorter than the new one, which must be cut all the same.
for _ in $(seq 100); do printf 'an older line\r\n'; done > old.csv
printf 'old\r\n' > short_old.csv
# A track that reaches the load limit: its notice is console text too.
"$write_track" large.trb 2147483647 +70000

# Runs trb2csv in a fresh folder, under the given command (strace, a limit)
# if any, and kills it if it has not ended within 10 s. Sets $status and
# $console; leaves the CSV file and standard error in run/.
run() {
  rm -rf run && mkdir run && cp "$track" run/ceTrackTail.trb && cp "$old" run/KeloTrackTail.csv
  (cd run && setsid -w timeout -k 2 10 "$@" "$program" </dev/null >console.txt 2>errors.txt) 2>/dev/null
  status=$?
  [ "$status" != 124 ] || fail "hung: $*"
  console=$(cat run/console.txt; echo .)
  console=${console%.}
}

old=old.csv
for track in track.trb large.trb; do
  run
  [ "$status" -le 1 ] || { fail "a run without faults failed: $console"; exit 1; }
  cp run/KeloTrackTail.csv "${track%.trb}.csv"
done
summary='ceTrackTail.trb --> KeloTrackTail.csv : 3 Trackpoints'
notice='**** ceTrackTail too big to read into memory buffer: 65535'

# A row makes the call on the file fail with the error (or get the signal)
# at the given calls; the call fsize stands for a run without strace under a
# file size limit of ERROR KiB. "with" names what else differs from the plain
# run: large (the track at the load limit), short_old (an old CSV shorter
# than the new).
#
# call  file  error  when  what the run must give  with

while read -r call file error when outcome with; do
  case $file in
    input) path=ceTrackTail.trb ;;
    output) path=KeloTrackTail.csv ;;
    console) path=console.txt ;;
  esac
  track=track.trb old=old.csv lead="$banner"$'\n'
  case ,$with, in *,large,*) track=large.trb lead+="$notice"$'\n'"$prompt" ;; esac
  case ,$with, in *,short_old,*) old=short_old.csv ;; esac
  new=${track%.trb}.csv
  case="$call on the $file, $error at call $when${with:+, with $with}"
  case $error in
    SIG*) inject="$call:signal=$error:when=$when" ;;
    EPIPE) inject="$call:error=$error:when=$when:signal=SIGPIPE" ;;
    *) inject="$call:error=$error:when=$when" ;;
  esac
  if [ "$call" = fsize ]; then
    case="a file size limit of $error KiB${with:+, with $with}"
    run bash -c 'ulimit -f "$0" && exec "$@"' "$error"
  else
    run strace -qq -o /dev/null -P "$path" -e trace="$call" -e inject="$inject"
  fi
  csv=run/KeloTrackTail.csv
  expected_status=1
  case $outcome in
    whole)
      expected_status=0
      expected="$lead$summary"$'\n'"$prompt"
      cmp -s "$csv" "$new" || fail "$case: the CSV file is not whole" ;;
    not_read)
      expected="$lead""ceTrackTail.trb could not opened!"$'\n'"$prompt"
      cmp -s "$csv" "$old" || fail "$case: the CSV file was changed" ;;
    not_opened)
      expected="$lead""KeloTrackTail.csv could not opend!"$'\n'
      expected+="ceTrackTail.trb --> KeloTrackTail.csv : 0 Trackpoints"$'\n'"$prompt"
      cmp -s "$csv" "$old" || fail "$case: the CSV file was changed" ;;
    not_written | not_cut | not_closed)
      expected="$lead""KeloTrackTail.csv could not be written!"$'\n'"$prompt"
      case $outcome in
        not_written) head -c "$(wc -c < "$csv")" "$new" | cmp -s - "$csv" || cmp -s "$csv" "$old" ||
          fail "$case: the CSV file holds more than the first new lines" ;;
        not_cut) { cat "$new"; tail -c +$(($(wc -c < "$new") + 1)) "$old"; } | cmp -s - "$csv" ||
          fail "$case: the CSV file is not the new lines before the old rest" ;;
        not_closed) cmp -s "$csv" "$new" || fail "$case: the CSV file is not whole" ;;
      esac ;;
    ended_whole)
      expected_status=$((128 + $(kill -l "${error#SIG}")))
      expected="$lead"
      cmp -s "$csv" "$new" || fail "$case: the CSV file is not whole" ;;
    console_lost)
      expected_status=0
      [ "$track" = large.trb ] && expected_status=1
      expected=""
      cmp -s "$csv" "$new" || fail "$case: the CSV file is not whole" ;;
  esac
  [ "$status" = "$expected_status" ] || fail "$case: exit status $status"
  if [ "$expected_status" = 1 ] && [ "$track" != large.trb ]; then
    grep -q '^trb2csv: .*: ..' run/errors.txt || fail "$case: no cause on standard error"
  fi
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
newfstatat  input   EIO     1   not_opened
newfstatat  output  EIO     1   not_opened
newfstatat  output  ENOMEM  1   not_opened
readlink    output  EIO     1   not_opened
readlink    output  ENOENT  1   whole
newfstatat  output  EIO     2   whole
newfstatat  output  ENOENT  2   whole
fcntl       output  EAGAIN  1   not_opened
fcntl       output  ENOLCK  1   whole
flock       output  EAGAIN  1   not_opened
openat      output  EIO     1+  not_opened
openat      output  ENOSPC  1+  not_opened
openat      output  EINTR   1   whole
openat      output  EACCES  1   not_opened
pread64     output  EIO     1   not_opened
pread64     output  EINTR   1   whole
write       output  ENOSPC  1+  not_written
write       output  EIO     1+  not_written
write       output  EPIPE   1+  not_written
write       output  EINTR   1   whole
ftruncate   output  EIO     1+  not_cut
ftruncate   output  EIO     1+  not_cut       short_old
ftruncate   output  EINTR   1   whole
write       output  SIGTERM 1   ended_whole
fsize       output  1       -   not_written   large,short_old
fsize       output  1       -   not_written   large
close       output  EIO     1   not_closed
close       output  EINTR   1   not_closed
write       console EIO     1+  console_lost
write       console EPIPE   1+  console_lost
write       console EPIPE   1+  console_lost  large
TABLE

finish "fault injection"
