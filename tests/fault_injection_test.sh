#!/usr/bin/env bash
# Runs the real trb2csv under strace, which makes one system call on the
# track file, the CSV file, the new file that replaces it or the console
# fail, for every such call of a run, and checks each time the console text,
# the exit status and both files: the track file is never changed, a run that
# reports success has written the whole CSV file, a CSV replaced by rename is
# the old one whole after any failure or a kill, a failed write in place
# leaves whole lines and says how many, or new lines before old ones and
# says so, a check that cannot be made refuses the run, and a failed run says
# why on standard error.
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
for i in $(seq 100); do printf '9.000000 , 9.000000 , "%d"\r\n' "$i"; done > old.csv
printf '9.000000 , 9.000000 , "1"\r\n' > short_old.csv
# A track that reaches the load limit: its notice is console text too.
"$write_track" large.trb 2147483647 +70000

# Runs trb2csv in a fresh folder, under the given command (strace, a limit)
# if any, and kills it if it has not ended within 10 s. Sets $status and
# $console; leaves the CSV file and standard error in run/.
# With in_place, the CSV file has a second name, so that it is written in
# place; with stale, a new file that a killed run left is beside it.
run() {
  rm -rf run && mkdir run && cp "$track" run/ceTrackTail.trb && cp "$old" run/KeloTrackTail.csv
  [ "$in_place" = 0 ] || ln run/KeloTrackTail.csv run/second-name.csv
  [ "$stale" = 0 ] || printf '53.5' > "run/$replacement"
  (cd run && setsid -w timeout -k 2 10 "$@" "$program" </dev/null >console.txt 2>errors.txt) 2>/dev/null
  status=$?
  [ "$status" != 124 ] || fail "hung: $*"
  console=$(cat run/console.txt; echo .)
  console=${console%.}
}

replacement=.KeloTrackTail.csv.trb2csv-new
old=old.csv in_place=0 stale=0
for track in track.trb large.trb; do
  run
  [ "$status" -le 1 ] || { fail "a run without faults failed: $console"; exit 1; }
  cp run/KeloTrackTail.csv "${track%.trb}.csv"
done
summary='ceTrackTail.trb --> KeloTrackTail.csv : 3 Trackpoints'
# Empty, or ending in a line end.
whole_lines() { [ ! -s "$1" ] || [ "$(tail -c 1 "$1" | od -An -tx1 | tr -d ' ')" = 0a ]; }
notice='**** ceTrackTail too big to read into memory buffer: 65535'

# A row makes the call on the file fail with the error (or get the signal)
# at the given calls; the call fsize stands for a run without strace under a
# file size limit of ERROR KiB. "with" names what else differs from the plain
# run: large (the track at the load limit), short_old (an old CSV shorter
# than the new), in_place (a CSV with a second name), stale (a new file left
# by a killed run).
#
# call  file  error  when  what the run must give  with

while read -r call file error when outcome with; do
  case $file in
    input) path=ceTrackTail.trb ;;
    output) path=KeloTrackTail.csv ;;
    console) path=console.txt ;;
    replacement) path=$replacement ;;
  esac
  track=track.trb old=old.csv lead="$banner"$'\n' in_place=0 stale=0
  case ,$with, in *,large,*) track=large.trb lead+="$notice"$'\n'"$prompt" ;; esac
  case ,$with, in *,short_old,*) old=short_old.csv ;; esac
  case ,$with, in *,in_place,*) in_place=1 ;; esac
  case ,$with, in *,stale,*) stale=1 ;; esac
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
    # A name that does not exist yet is matched by its whole name, and as
    # it is written in a call.
    paths=(-P "$path")
    [ "$file" != replacement ] || paths+=(-P "$work/run/$path")
    run strace -qq -o /dev/null "${paths[@]}" -e trace="$call" -e inject="$inject"
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
    not_written | not_cut | not_closed | unchanged)
      expected="$lead""KeloTrackTail.csv could not be written!"$'\n'"$prompt"
      case $outcome in
        not_written)
          head -c "$(wc -c < "$csv")" "$new" | cmp -s - "$csv" && whole_lines "$csv" ||
            fail "$case: the CSV file holds more than the first whole new lines"
          kept=$(wc -l < "$csv") lines=$(wc -l < "$new")
          grep -Eq "^trb2csv: KeloTrackTail\.csv: .*(\($kept of $lines lines\)|is now empty)$" run/errors.txt ||
            fail "$case: standard error does not say $kept of $lines lines: $(cat run/errors.txt)" ;;
        unchanged) cmp -s "$csv" "$old" || fail "$case: the old CSV file was not kept"
          grep -q "^trb2csv: KeloTrackTail.csv: .*; KeloTrackTail.csv was left as it was$" run/errors.txt ||
            fail "$case: standard error does not say the CSV was left: $(cat run/errors.txt)" ;;
        not_cut) { cat "$new"; tail -c +$(($(wc -c < "$new") + 1)) "$old"; } | cmp -s - "$csv" ||
          fail "$case: the CSV file is not the new lines before the old rest" ;;
        not_closed) cmp -s "$csv" "$new" || fail "$case: the CSV file is not whole" ;;
      esac ;;
    ended_whole)
      expected_status=$((128 + $(kill -l "${error#SIG}")))
      expected="$lead"
      cmp -s "$csv" "$new" || fail "$case: the CSV file is not whole" ;;
    killed_kept | killed_mixed)
      expected_status=$((128 + 9))
      expected="$lead"
      if [ "$outcome" = killed_kept ]; then
        cmp -s "$csv" "$old" || fail "$case: the old CSV file was not kept"
        [ -e "run/$replacement" ] || fail "$case: no new file left beside it"
      else
        { cat "$new"; tail -c +$(($(wc -c < "$new") + 1)) "$old"; } | cmp -s - "$csv" ||
          fail "$case: the CSV file is not the new lines before the old rest"
      fi ;;
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
  [ "$outcome" = killed_kept ] || [ ! -e "run/$replacement" ] || fail "$case: a new file was left"
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
newfstatat  output  ENOMEM  2   not_opened
readlink    output  EIO     1   not_opened
readlink    output  ENOENT  1   whole
newfstatat  output  EIO     3   whole
newfstatat  output  EIO     4   whole
newfstatat  output  ENOENT  4   whole
fcntl       output  EAGAIN  1   not_opened
fcntl       output  ENOLCK  1   whole
flock       output  EAGAIN  1   not_opened
openat      output  EIO     1+  not_opened
openat      output  ENOSPC  1+  not_opened
openat      output  EINTR   1   whole
openat      output  EACCES  1   not_opened
pread64     output  EIO     1   not_opened
pread64     output  EINTR   1   whole
write       output  ENOSPC  1+  not_written   in_place
write       output  EIO     1+  not_written   in_place
write       output  EPIPE   1+  not_written   in_place
write       output  EINTR   1   whole         in_place
ftruncate   output  EIO     1+  not_cut       in_place
ftruncate   output  EIO     1+  not_cut       short_old,in_place
ftruncate   output  EINTR   1   whole         in_place
write       output  SIGTERM 1   ended_whole   in_place
ftruncate   output  SIGKILL 1   killed_mixed  in_place
fsize       output  1       -   not_written   large,short_old,in_place
fsize       output  1       -   not_written   large,in_place
close       output  EIO     1   not_closed
close       output  EINTR   1   not_closed
openat      replacement EACCES 1 whole
openat      replacement EROFS   1 whole
fchown      replacement EPERM   1 whole
fchmod      replacement EPERM   1 whole
write       replacement ENOSPC  1 unchanged
write       replacement EIO     1 unchanged
write       replacement EINTR   1 whole
fsync       replacement EIO     1 unchanged
close       replacement EIO     1 unchanged
rename      replacement EXDEV   1 unchanged
write       replacement SIGTERM 1 ended_whole
rename      replacement SIGKILL 1 killed_kept
openat      replacement EINTR   1 whole       stale
fsize       output  9       -   unchanged     large
write       console EIO     1+  console_lost
write       console EPIPE   1+  console_lost
write       console EPIPE   1+  console_lost  large
TABLE

# A full file system keeps the old CSV whole: a tmpfs of 128 KiB (in a user
# namespace, which lets any user mount one) filled but for 8 KiB.
if unshare -rm true 2>/dev/null; then
  mkdir full
  unshare -rm bash -c 'mount -t tmpfs -o size=128k tmpfs full && cd full &&
    cp ../large.trb ceTrackTail.trb && cp ../old.csv KeloTrackTail.csv &&
    { cat /dev/zero >filler 2>/dev/null; truncate -s -8K filler; } &&
    "$0" -quiet </dev/null >../console.txt 2>../errors.txt; echo "$?" >../status
    cmp -s KeloTrackTail.csv ../old.csv && echo kept >>../status; ls -A >>../status' "$program"
  [ "$(cat status)" = $'1\nkept\nKeloTrackTail.csv\nceTrackTail.trb\nfiller' ] ||
    fail "a full file system: $(cat status)"
  grep -q "KeloTrackTail.csv could not be written!$" console.txt ||
    fail "a full file system: console $(cat console.txt)"
  grep -qx "trb2csv: KeloTrackTail.csv: No space left on device; KeloTrackTail.csv was left as it was" \
    errors.txt || fail "a full file system: $(cat errors.txt)"
else
  echo "no user namespace to mount a full file system in: left out"
fi

# A link to a block device is refused, and the device left as it was: a loop
# device of a file of this test's, where one can be made (as root).
truncate -s 64K disk.img
if disk=$(losetup -f --show disk.img 2>/dev/null); then
  more_cleanup() { losetup -d "$disk"; }
  mkdir device && cp track.trb device/ceTrackTail.trb && ln -s "$disk" device/disk.csv
  (cd device && timeout -k 2 10 "$program" disk.csv </dev/null >console.txt 2>errors.txt)
  status=$?
  [ "$status" = 1 ] && grep -qx "disk.csv could not opend!" device/console.txt &&
    grep -qx "trb2csv: disk.csv: a block device (a disk or a partition), which is never written" \
      device/errors.txt || fail "a block device: status $status, $(cat device/*.txt)"
  cmp -s disk.img <(head -c 64K /dev/zero) || fail "a block device was written"
else
  echo "no loop device can be made here: a block device left out"
fi

finish "fault injection"
