# shellcheck shell=bash
# What the script tests share; each sources this file first. It makes a
# scratch folder, $work, removed when the test ends (with a function
# more_cleanup, if the test defines one, called first), counts failures, and
# for the terminal tests reads the screen of their tmux server ($socket, once
# set) and waits for it by polling, never by a fixed sleep.

work=$(mktemp -d)
# In a sanitizer build: the leak checker cannot work under strace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
failures=0
socket=""

# The converter's own console text, for the tests that source this.
# shellcheck disable=SC2034
banner='KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09'
# shellcheck disable=SC2034
prompt=$'\nPress any key'

cleanup() {
  [ "$(type -t more_cleanup)" != function ] || more_cleanup
  [ -z "$socket" ] || tmux -L "$socket" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

screen() { tmux -L "$socket" capture-pane -p -t test; }

fail() {
  echo "FAIL: $*"
  if [ -n "$socket" ]; then
    echo "--- screen ---"
    screen
  fi
  failures=$((failures + 1))
}

# Polls every 0.05 s, for up to the given seconds, until the command succeeds.
wait_until() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 20))); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

# Waits up to 20 s until the process whose number the file holds has stopped
# (strace stops it at a call), runs the command, and lets the process go on;
# or, if it never stops, kills it and returns 1.
while_stopped() {
  local pid_file=$1
  shift
  stopped() { [ -s "$pid_file" ] && grep -q '^[0-9]* ([^)]*) [tT]' "/proc/$(cat "$pid_file")/stat" 2>/dev/null; }
  if wait_until 20 stopped; then
    "$@"
    kill -s CONT "$(cat "$pid_file")"
    return 0
  fi
  kill -s KILL "$(cat "$pid_file")" 2>/dev/null
  return 1
}

# Ends the test: status 1 if a check failed.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "$1: all cases passed"
}
