#!/usr/bin/env bash
# Swaps the output's name for a link to a track file between trb2csv's check
# of the name and its open, once with the run stopped in between (strace
# stops it once it has read the name as no link) and then by a process that
# swaps the name in a loop while trb2csv runs again and again: no track file
# is ever written over.
#
#   output_race_test.sh PROGRAM WRITE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
program=$(realpath "$1")
write_track=$(realpath "$2")
cd "$work" || exit 1

"$write_track" ceTrackTail.trb 2 53.5,10 53.6,10.1
# Empty, so that its name alone keeps it (a track file's NUL bytes would too),
# and of two names, so that a run that reaches it would write in place: a
# file replaced by rename would leave it as it is.
: > notes.trb
ln notes.trb "second name of notes.trb"
cp notes.trb notes.before
printf '9.000000 , 9.000000 , "1"\r\n' > plain.csv
unchanged() { cmp -s notes.trb notes.before; }

# Stopped when it has found out.csv no link, before it opens it: at its
# second look (the first asks whether the name leads to a track file to
# convert). A stop that strace injects takes effect as the call returns.
cp plain.csv out.csv
setsid timeout -k 2 60 strace -qq -o /dev/null -P out.csv -e trace=readlink \
  -e inject=readlink:signal=SIGSTOP:when=2 \
  sh -c 'echo $$ >run.pid; exec "$@"' sh "$program" out.csv </dev/null >console.txt 2>errors.txt &
tracer=$!
while_stopped run.pid ln -sfn notes.trb out.csv || fail "the run was not stopped as it looked at out.csv"
wait "$tracer"
status=$?
unchanged || fail "stopped between check and open: notes.trb was written over"
[ "$status" = 1 ] || fail "stopped between check and open: exit status $status"
grep -qx "out.csv is a track-tail file and is not overwritten!" console.txt ||
  fail "stopped between check and open: console $(cat console.txt)"

# A run stopped as it has opened a CSV file that another run then replaces
# by rename: let go, it takes the lock of a file that no longer has the
# name, and must write into the name, not into that file.
mkdir first second
"$write_track" first/ceTrackTail.trb 1 1.5,2.5
"$write_track" second/ceTrackTail.trb 1 -3.25,4.75
cp plain.csv shared.csv
rm -f run.pid
(cd second && setsid timeout -k 2 60 strace -qq -o /dev/null -P ../shared.csv -e trace=openat \
  -e inject=openat:signal=SIGSTOP:when=1 \
  sh -c 'echo $$ >../run.pid; exec "$@"' sh "$program" ../shared.csv </dev/null >/dev/null 2>&1) &
tracer=$!
first_run() {
  (cd first && timeout -k 2 10 "$program" ../shared.csv </dev/null >/dev/null 2>&1) ||
    fail "a run beside a stopped one failed"
}
while_stopped run.pid first_run || fail "the second run was not stopped as it opened shared.csv"
wait "$tracer" || fail "the run let go after the other replaced its file failed"
[ "$(cat shared.csv)" = $'-3.250000 , 4.750000 , "1"\r' ] ||
  fail "the run let go after the other replaced its file: shared.csv holds $(cat shared.csv)"

# A process swaps out.csv between a plain file and a link to notes.trb.
swap() {
  while :; do
    ln -sfn notes.trb link.tmp && mv -fT link.tmp out.csv
    cp plain.csv plain.tmp && mv -fT plain.tmp out.csv
  done
}
swap &
swapper=$!
more_cleanup() { kill "$swapper" 2>/dev/null; }
written=0 refused=0
# A few dozen rounds, or with TRB2CSV_SOAK=1 (as CI sets it) 300.
rounds=30
[ "${TRB2CSV_SOAK:-}" != 1 ] || rounds=300
for _ in $(seq "$rounds"); do
  timeout -k 2 10 "$program" out.csv </dev/null >/dev/null 2>&1 && written=$((written + 1)) ||
    refused=$((refused + 1))
  unchanged || { fail "swapped in a loop: notes.trb was written over"; break; }
done
kill "$swapper"
wait "$swapper" 2>/dev/null
echo "swapped in a loop: $written runs wrote out.csv, $refused were refused"

finish "output race"
