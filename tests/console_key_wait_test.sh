#!/usr/bin/env bash
# Drives the key wait of trb2csv.exe on a Wine console in a detached tmux
# pane: a letter ends the wait and is echoed; an Up arrow at the limit notice
# ends that wait, and its held-back second byte ends the closing wait at
# once; standard output into a file gets its usual text while the console
# shows the prompt. WINEPREFIX names a prefix of the test's own: its Wine
# server is stopped at the end.
#
#   console_key_wait_test.sh WINE64 PROGRAM.exe WRITE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
wine=$1
program=$(realpath "$2")
write_track=$(realpath "$3")
socket="trb2csv-console-$$"
: "${WINEPREFIX:?names the Wine prefix of this test}"
more_cleanup() { "$(dirname "$wine")/wineserver" -k 2>/dev/null; }

# True if the screen, from the line BEGIN-name of the current run on, matches
# the pattern.
shows_since_begin() { screen | sed -n "/^BEGIN-$name\$/,\$p" | grep -qE -- "$1"; }
# Waits up to the given seconds for that.
wait_for() { wait_until "$2" shows_since_begin "$1"; }

# A key typed before the wait begins is kept for it, as any console event;
# the terminal, not yet raw then, may echo it itself before the program does
# (a letter twice, an arrow as ^[[A), which the patterns allow. The line
# BEGIN-name, which the typed command line does not show, marks the start of
# the run, so that nothing an earlier run left passes for its text.
start_run() {
  name=$1
  local folder=$2 redirection=${3:-}
  tmux -L "$socket" send-keys -t test "clear; printf 'BEGIN-%s\\n' $name; cd '$work/$folder' && '$wine' '$program' $redirection; echo status=\$?" Enter
  wait_for "Press any key" 20 || fail "$name: no prompt"
}

mkdir "$work/short" && printf 'x' > "$work/short/ceTrackTail.trb"
mkdir "$work/names" && "$write_track" "$work/names/ceTrackTail.trb" 1 53.5,0
mkdir "$work/large" && "$write_track" "$work/large/ceTrackTail.trb" 1454 +69796

# A fresh Wine prefix takes a while to set up: do it before the first wait.
mkdir "$work/setup" && (cd "$work/setup" && timeout 180 "$wine" "$program" -quiet </dev/null >/dev/null)

tmux -u -L "$socket" -f /dev/null new-session -d -s test -x 100 -y 20 -c "$work" \
  "env PS1='$ ' HISTFILE= LC_ALL=C.UTF-8 bash --norc --noprofile"

start_run letter short
tmux -L "$socket" send-keys -t test "x"
wait_for "Press any keyx?xstatus=1" 20 || fail "letter: not echoed, or wrong exit status"

start_run arrow large
tmux -L "$socket" send-keys -t test Up
wait_for "status=" 20 || fail "arrow: the closing wait did not end by itself"
screen | grep -qE "^Press any key(\^\[\[A)?.{0,3}ceTrackTail.trb --> KeloTrackTail.csv : 1365 Trackpoints$" ||
  fail "arrow: the limit notice's wait did not end on the arrow"
screen | grep -qE "^Press any key.{0,3}status=1$" || fail "arrow: wrong end of run"

# Ctrl+C is not driven here: from a Unix terminal, Wine turns it into a
# console control event whatever the input mode, so it never reaches the
# wait as a key, and the program ends with status 0 as a finished run would.

# Names in any script: the file gets the name as typed, and the summary shows it.
for output in трек.csv Straße.csv 轨迹.csv; do
  start_run "name-${#output}" names "$output"
  tmux -L "$socket" send-keys -t test "n"
  wait_for "^ceTrackTail.trb --> $output : 1 Trackpoints$" 20 || fail "$output: not in the summary"
  wait_for "status=0" 20 || fail "$output: wrong end of run"
  [ "$(cat "$work/names/$output" 2>/dev/null)" = $'53.500000 , 0.000000 , "1"\r' ] ||
    fail "$output: no such file, or not the track"
done

# Standard output into a file: it gets the text it always gets, and the
# console shows the prompt all the same.
start_run redirected short ">out.txt"
tmux -L "$socket" send-keys -t test "r"
wait_for "^Press any keyr?rstatus=1$" 20 || fail "redirected: the prompt was not shown on the console"
[ "$(od -An -c "$work/short/out.txt" | tr -d ' \n')" = 'KeloCEtrbtocsvConverter(Lat-Lon)/v1.018.05.09\r\n\r\nPressanykey' ] ||
  fail "redirected: standard output got $(cat "$work/short/out.txt")"

finish "console key wait"
