#!/usr/bin/env bash
# Drives the key wait of trb2csv in a real terminal (a detached tmux pane):
# a key ends the wait and is echoed, a special key leaves nothing behind for
# the shell, and the terminal mode is the same afterwards, also when a signal
# ends the program during the wait; an ignored signal stays ignored, and a
# stop and continue in the wait leave it waiting for a key. Signals go to the
# program's own PID.
#
#   terminal_key_wait_test.sh PROGRAM WRITE_TRACK
set -u
source "$(dirname "$0")/script_test.sh"
program=$(realpath "$1")
write_track=$(realpath "$2")
socket="trb2csv-keywait-$$"

shows() { screen | grep -qF -- "$1"; }
# True if the screen shows the text after the line BEGIN-name of this run.
shows_since() { screen | sed -n "/^BEGIN-$1\$/,\$p" | grep -qF -- "$2"; }
# True if the screen shows a line that is the first text, and the second on the next line.
shows_lines() { screen | grep -A1 -xF -- "$1" | tail -n 1 | grep -qxF -- "$2"; }
mode_is() { [ "$(stty -g -F "$tty")" = "$(cat "$work/$1")" ]; }
mode_is_not() { ! mode_is "$1"; }
stopped() { [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = T ]; }

# The run as a non-interactive shell makes it (an interactive one would mend
# the terminal mode itself after a job killed by a signal): it records the
# mode before and after, the exit status, and the program's PID, with the
# signals given as $3 ignored; with $5 "piped", standard output goes through
# a pipe into the file name.out, with $5 "closed" it is closed.
cat > "$work/run.sh" <<'SCRIPT'
work=$1 name=$2 ignored=$3 program=$4 output=$5
stty -g > "$work/$name.before"
run() { bash -c 'echo $$ > "$1"; [ -z "$2" ] || trap "" $2; exec "$3"' - "$work/$name.pid" "$ignored" "$program"; }
if [ "$output" = piped ]; then
  run | cat > "$work/$name.out"
  status=${PIPESTATUS[0]}
elif [ "$output" = closed ]; then
  run >&-
  status=$?
else
  run
  status=$?
fi
echo "status=$status" > "$work/$name.status"
stty -g > "$work/$name.after"
SCRIPT

# The start and the end of a run are marked by lines BEGIN-name and END-name,
# which the command line that asks for them does not show: what an earlier
# run left on the screen never passes for this run's.
#
# Starts a run in folder and waits until the program is in the wait: it has
# written its PID, the terminal has left the mode it had before, and the
# prompt is shown after this run's marker. Then reads for half a second
# whatever the program may have left unread.
start_run() {
  local name=$1 folder=$2 ignored=${3:-} output=${4:-}
  tmux -L "$socket" send-keys -t test "clear; printf 'BEGIN-%s\\n' $name; cd '$work/$folder'; bash ../run.sh '$work' $name '$ignored' '$program' '$output'; read -r -t 0.5 left; echo \"LEFT<\$left>\"; printf 'END-%s\\n' $name" Enter
  wait_until 10 test -s "$work/$name.pid" || fail "$name: not started"
  pid=$(cat "$work/$name.pid")
  wait_until 10 mode_is_not "$name.before" || fail "$name: the terminal did not enter the wait's mode"
  wait_until 10 shows_since "$name" "Press any key" || fail "$name: no prompt"
}

finish_run() {
  local name=$1
  wait_until 10 shows "END-$name" || { fail "$name: the run did not end"; return; }
  cmp -s "$work/$name.before" "$work/$name.after" || fail "$name: terminal mode changed"
  shows "LEFT<>" || fail "$name: input was left for the shell"
}

status_is() {
  grep -qx "status=$2" "$work/$1.status" || fail "$1: exit status $(cat "$work/$1.status")"
}

# Too short to convert: banner and prompt only, and status 1.
mkdir "$work/short" && printf 'x' > "$work/short/ceTrackTail.trb"
# Reaches the load limit: a pause at the limit notice, then one at the end.
mkdir "$work/large" && "$write_track" "$work/large/ceTrackTail.trb" 1454 +69796
cd "$work" || exit 1
tmux -L "$socket" -f /dev/null new-session -d -s test -x 100 -y 20 -c "$work" "env PS1='$ ' HISTFILE= bash --norc --noprofile"
wait_until 10 shows '$' || fail "no shell"
tty=$(tmux -L "$socket" display-message -p -t test '#{pane_tty}')
# Everything the pane receives, byte for byte, for what the screen cannot show.
tmux -L "$socket" pipe-pane -t test "cat > '$work/received'"

start_run letter short
tmux -L "$socket" send-keys -t test "x"
finish_run letter
shows_lines "Press any keyx" "LEFT<>" || fail "letter: not echoed after the prompt, or no line end"
status_is letter 1

start_run arrow short
tmux -L "$socket" send-keys -t test Up
finish_run arrow
shows_lines "Press any key" "LEFT<>" || fail "arrow: something was echoed or left behind"

start_run enter short
tmux -L "$socket" send-keys -t test Enter
finish_run enter
shows_lines "Press any key" "LEFT<>" || fail "enter: something was left behind"
LC_ALL=C grep -q $'Press any key\r\r$' "$work/received" || fail "enter: not echoed as a carriage return"

start_run utf8 short
tmux -L "$socket" send-keys -t test "ä"
finish_run utf8
shows_lines "Press any keyä" "LEFT<>" || fail "utf8: the character was not echoed whole"

start_run ctrl_c short
tmux -L "$socket" send-keys -t test C-c
finish_run ctrl_c
status_is ctrl_c 1

# F5 sends a control sequence (Esc [ 1 5 ~), F1 an SS3 one (Esc O P).
for key in F5 F1; do
  start_run "key_$key" short
  tmux -L "$socket" send-keys -t test "$key"
  finish_run "key_$key"
  shows_lines "Press any key" "LEFT<>" || fail "$key: something was echoed or left behind"
done

# Standard output into a pipe: it gets the text it always gets, and the
# terminal shows the prompt all the same.
start_run piped short "" piped
tmux -L "$socket" send-keys -t test "p"
finish_run piped
shows_lines "Press any keyp" "LEFT<>" || fail "piped: the prompt was not shown on the terminal"
[ "$(cat "$work/piped.out")" = "$banner"$'\n'"$prompt" ] ||
  fail "piped: standard output got $(cat "$work/piped.out")"

# Standard output closed: no file or terminal takes its number, and the
# terminal shows the prompt.
start_run closed short "" closed
tmux -L "$socket" send-keys -t test "c"
finish_run closed
shows_lines "Press any keyc" "LEFT<>" || fail "closed: the prompt was not shown on the terminal"

# Signals that end the program: the mode is restored, the status tells the signal.
for signal in TERM QUIT USR1 ALRM; do
  start_run "sig$signal" short
  kill -s "$signal" "$pid"
  finish_run "sig$signal"
  status_is "sig$signal" $((128 + $(kill -l "$signal")))
done

# Under nohup's rule a hang-up is ignored: the wait goes on until a key.
start_run ignored_hup short HUP
kill -s HUP "$pid"
tmux -L "$socket" send-keys -t test "h"
finish_run ignored_hup
shows_lines "Press any keyh" "LEFT<>" || fail "ignored_hup: the wait did not end on the key"
status_is ignored_hup 1

# Stopped during the wait, the program gives the terminal its mode back;
# continued, it waits again, and one key ends the wait.
start_run stop short
kill -s TSTP "$pid"
wait_until 10 stopped "$pid" || fail "stop: the program did not stop"
mode_is stop.before || fail "stop: the mode was not restored while stopped"
kill -s CONT "$pid"
wait_until 10 mode_is_not stop.before || fail "stop: the wait did not take its mode again"
tmux -L "$socket" send-keys -t test "s"
finish_run stop
shows_lines "Press any keys" "LEFT<>" || fail "stop: the wait did not end on the key"
status_is stop 1

# Started in the background, the program stops when it reaches the wait;
# brought to the foreground, it waits for a key as any run does.
tmux -L "$socket" send-keys -t test "clear; cd '$work/short'; '$program' & echo \$! > ../background.pid" Enter
wait_until 10 test -s background.pid || fail "background: not started"
pid=$(cat background.pid)
wait_until 10 stopped "$pid" || fail "background: the program did not stop at the wait"
tmux -L "$socket" send-keys -t test "fg; echo status=\$?; stty -g > ../background.after; printf 'END-%s\\n' background" Enter
wait_until 10 mode_is_not letter.before || fail "background: the wait did not take its mode"
tmux -L "$socket" send-keys -t test "g"
wait_until 10 shows "END-background" || fail "background: the run did not end"
shows "status=1" || fail "background: wrong exit status"
cmp -s letter.before background.after || fail "background: terminal mode changed"

# Two keys typed at the limit notice: the first ends that pause, the second,
# already typed, ends the closing one.
start_run typed_ahead large
tmux -L "$socket" send-keys -t test "ab"
finish_run typed_ahead
shows_lines "Press any keya" "ceTrackTail.trb --> KeloTrackTail.csv : 1365 Trackpoints" ||
  fail "typed_ahead: the first key did not end the limit notice's pause"
shows_lines "Press any keyb" "LEFT<>" || fail "typed_ahead: the second key was lost"
status_is typed_ahead 1

finish "terminal key wait"
