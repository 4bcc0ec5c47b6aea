#!/usr/bin/env bash
# Checks the file sharing of trb2csv.exe under Wine: a track file held open
# for writing by another program cannot be opened, one held by a reader can;
# a CSV file held open by another program cannot be opened for the output.
# A Linux run of trb2csv and a run of trb2csv.exe keep each other out of one
# CSV file: each takes the lock that the other sees.
#
#   windows_file_sharing_test.sh WINE64 trb2csv.exe hold_file.exe trb2csv WRITE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
wine=$1
program=$(realpath "$2")
holder=$(realpath "$3")
linux_program=$(realpath "$4")
write_track=$(realpath "$5")
cd "$work" || exit 1

# Starts the holder on a file and waits, at most 60 s, until it holds it.
# It lets go when release() closes its standard input, or after 120 s. Both
# FIFOs are opened for reading and writing here, which never waits for the
# other end.
mkfifo to_holder from_holder
hold() {
  timeout -k 2 120 "$wine" "$holder" "$1" "$2" <to_holder >from_holder &
  holder_pid=$!
  exec 7<>to_holder 8<>from_holder
  local answer
  read -r -t 60 answer <&8 || answer="(no answer within 60 s)"
  [ "${answer%$'\r'}" = held ] || fail "the holder did not hold $1 for $2: $answer"
}
release() {
  exec 7>&- 8<&-
  wait "$holder_pid"
}

# Runs trb2csv.exe -quiet, killed if it has not ended within 20 s; sets
# $status, and $console to what it printed, without blanks, with CR and LF
# spelled \r and \n.
convert() {
  timeout -k 2 20 "$wine" "$program" -quiet </dev/null >console.txt 2>errors.txt
  status=$?
  [ "$status" != 124 ] || fail "hung"
  console=$(od -An -c console.txt | tr -d ' \n')
}

"$write_track" ceTrackTail.trb 2 53.5,10 53.6,10.1

# Holds a file, converts, and expects exit status 1 with the given message.
expect_refused() {
  local file=$1 mode=$2 message=$3 case="$1 held for $2"
  hold "$file" "$mode"
  convert
  [ "$status" = 1 ] || fail "$case: exit status $status"
  [[ "$console" == *"$message"* ]] || fail "$case: console $console"
  release
}

expect_refused ceTrackTail.trb write 'ceTrackTail.trbcouldnotopened!\r\n'

hold ceTrackTail.trb read
convert
[ "$status" = 0 ] || fail "input held by a reader: exit status $status, console $console"
[ -s KeloTrackTail.csv ] || fail "input held by a reader: no CSV file"
release

expect_refused KeloTrackTail.csv read 'KeloTrackTail.csvcouldnotopend!\r\n'

# Locked by another run under Wine: a Linux run is kept out.
printf '9.000000 , 9.000000 , "1"\r\n' > KeloTrackTail.csv
hold KeloTrackTail.csv lock
timeout -k 2 20 "$linux_program" -quiet </dev/null >console.txt 2>errors.txt
status=$?
[ "$status" = 1 ] || fail "locked under Wine: a Linux run's exit status $status"
grep -qx "trb2csv: KeloTrackTail.csv: held by another run of trb2csv" errors.txt ||
  fail "locked under Wine: a Linux run says $(cat errors.txt)"
release

# A Linux run stopped in its write holds the CSV file: trb2csv.exe is kept out.
setsid timeout -k 2 60 strace -qq -o /dev/null -P "$PWD/.KeloTrackTail.csv.trb2csv-new" -e trace=write \
  -e inject=write:signal=SIGSTOP sh -c 'echo $$ >linux.pid; exec "$@"' sh "$linux_program" -quiet </dev/null >/dev/null 2>&1 &
tracer=$!
kept_out() {
  convert
  [ "$status" = 1 ] || fail "held by a Linux run: exit status $status"
  grep -q "held by another run of trb2csv" errors.txt ||
    fail "held by a Linux run: trb2csv.exe says $(cat errors.txt)"
}
while_stopped linux.pid kept_out || fail "the Linux run did not stop in its write"
wait "$tracer" || fail "the Linux run that held the file failed"
[ "$(grep -c 'Trackpoint\|trb2csv' KeloTrackTail.csv)" = 0 ] && [ "$(wc -l < KeloTrackTail.csv)" = 2 ] ||
  fail "held by a Linux run: the CSV file is not the Linux run's: $(cat KeloTrackTail.csv)"

finish "file sharing"
