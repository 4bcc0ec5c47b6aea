#!/usr/bin/env bash
# Checks the file sharing of trb2csv.exe under Wine: a track file held open
# for writing by another program cannot be opened, one held by a reader can;
# a CSV file held open by another program cannot be opened for the output.
#
#   windows_file_sharing_test.sh WINE64 trb2csv.exe hold_file.exe
set -u
source "$(dirname "$0")/script_test.sh"
wine=$1
program=$(realpath "$2")
holder=$(realpath "$3")
cd "$work" || exit 1

# Starts the holder on a file and waits until it holds it. It lets go when
# release() closes its standard input.
mkfifo to_holder from_holder
hold() {
  "$wine" "$holder" "$1" "$2" <to_holder >from_holder &
  holder_pid=$!
  exec 7>to_holder
  local answer
  read -r answer <from_holder
  [ "${answer%$'\r'}" = held ] || fail "the holder did not open $1: $answer"
}
release() {
  exec 7>&-
  wait "$holder_pid"
}

# Runs trb2csv.exe -quiet, killed if it has not ended within 20 s; sets
# $status, and $console to what it printed, without blanks, with CR and LF
# spelled \r and \n.
convert() {
  timeout -k 2 20 "$wine" "$program" -quiet </dev/null >console.txt
  status=$?
  [ "$status" != 124 ] || fail "hung"
  console=$(od -An -c console.txt | tr -d ' \n')
}

# Two records with a point count of 2.
head -c 200 /dev/zero > ceTrackTail.trb
printf '\002\000\000\000' >> ceTrackTail.trb
head -c 96 /dev/zero >> ceTrackTail.trb

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

finish "file sharing"
