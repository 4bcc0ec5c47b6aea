#!/usr/bin/env bash
# Drives the key wait of trb2csv in a real terminal (a detached tmux pane):
# a key ends the wait and is echoed, a special key leaves nothing behind for
# the shell, and the terminal mode is the same afterwards, also when SIGTERM
# ends the program during the wait.
#
#   terminal_key_wait_test.sh PROGRAM
set -u
program=$(realpath "$1")
work=$(mktemp -d)
socket="trb2csv-keywait-$$"
failures=0

cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- screen ---"
  tmux -L "$socket" capture-pane -p -t test
  failures=$((failures + 1))
}

status_is() {
  grep -qx "status=$2" "$work/$1.status" || fail "$1: exit status $(cat "$work/$1.status")"
}

screen() { tmux -L "$socket" capture-pane -p -t test; }

# Waits up to five seconds for the screen to show the given text.
wait_for() {
  for _ in $(seq 50); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Starts a run in the pane from a non-interactive shell, which records the
# terminal mode before and after it and the exit status, then reads for half
# a second whatever the program may have left unread. (An interactive shell
# would mend the terminal mode itself after a job killed by a signal.)
start_run() {
  local name=$1 folder=$2
  tmux -L "$socket" send-keys -t test "clear; cd $work/$folder; bash -c 'stty -g > ../$name.before; \"\$0\"; echo status=\$? > ../$name.status; stty -g > ../$name.after' $program; read -r -t 0.5 left; echo \"LEFT<\$left>\"; echo END-$name" Enter
  wait_for "Press any key" || fail "$name: no prompt"
}

finish_run() {
  local name=$1
  wait_for "END-$name" || { fail "$name: the run did not end"; return; }
  cmp -s "$work/$name.before" "$work/$name.after" || fail "$name: terminal mode changed"
  screen | grep -qF "LEFT<>" || fail "$name: input was left for the shell"
}

# Too short to convert: banner and prompt only.
mkdir "$work/short" && printf 'x' > "$work/short/ceTrackTail.trb"
# Reaches the load limit: a pause at the limit notice, then one at the end.
mkdir "$work/large" && head -c 70000 /dev/zero > "$work/large/ceTrackTail.trb"
cd "$work" || exit 1
tmux -L "$socket" -f /dev/null new-session -d -s test -x 100 -y 20 -c "$work" "env PS1='$ ' bash --norc --noprofile"
wait_for '$' || fail "no shell"

start_run letter short
tmux -L "$socket" send-keys -t test "x"
finish_run letter
screen | grep -qF "Press any keyxLEFT<>" || fail "letter: not echoed after the prompt"
status_is letter 0

start_run arrow short
tmux -L "$socket" send-keys -t test Up
finish_run arrow
screen | grep -qF "Press any keyLEFT<>" || fail "arrow: something was echoed or left behind"

start_run enter short
tmux -L "$socket" send-keys -t test Enter
finish_run enter
# The echoed carriage return sends the shell's next text over the prompt.
screen | grep -qF "LEFT<>any key" || fail "enter: not echoed as a carriage return"

start_run utf8 short
tmux -L "$socket" send-keys -t test "ä"
finish_run utf8
screen | grep -qF "Press any keyäLEFT<>" || fail "utf8: the character was not echoed whole"

start_run ctrl_c short
tmux -L "$socket" send-keys -t test C-c
finish_run ctrl_c
status_is ctrl_c 0

start_run function_key short
tmux -L "$socket" send-keys -t test F5
finish_run function_key
screen | grep -qF "Press any keyLEFT<>" || fail "function_key: something was echoed or left behind"

start_run sigterm short
pkill -TERM -x "$(basename "$program")" || fail "sigterm: program not found"
finish_run sigterm
status_is sigterm 143

# Two keys typed at the limit notice: the first ends that pause, the second,
# already typed, ends the closing one.
start_run typed_ahead large
tmux -L "$socket" send-keys -t test "ab"
finish_run typed_ahead
screen | grep -qF "Press any keyaceTrackTail.trb --> KeloTrackTail.csv : 0 Trackpoints" ||
  fail "typed_ahead: the first key did not end the limit notice's pause"
screen | grep -qF "Press any keybLEFT<>" || fail "typed_ahead: the second key was lost"
status_is typed_ahead 1

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "terminal key wait: all cases passed"
