#!/usr/bin/env bash
# Runs the program twice on one output, in the current folder: the first
# under strace, which stops it as it writes the new file that is to replace
# the output, the second while the first is stopped, and then lets the
# first go on. The first run's status goes to
# first.status. For the end-to-end tests, as a prefix:
#
#   second_run_while_first_writes.sh PROGRAM OUTPUT
set -u
# In a sanitizer build the leak checker cannot work under strace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
program=$1
output=$2
# The first writes the file that replaces the output, beside it: strace
# finds it by its whole name, which it cannot resolve before it exists.
strace -qq -o /dev/null -P "$(realpath "$(dirname "$output")")/.$(basename "$output").trb2csv-new" \
  -e trace=write -e inject=write:signal=SIGSTOP \
  sh -c 'echo $$ >first.pid; exec "$@"' sh "$program" "$output" >/dev/null 2>&1 &
first=$!
for _ in $(seq 400); do
  [ -s first.pid ] && grep -q '^[0-9]* ([^)]*) [tT]' "/proc/$(cat first.pid)/stat" && break
  sleep 0.05
done 2>/dev/null
"$program" "$output"
kill -s CONT "$(cat first.pid)"
wait "$first"
echo $? >first.status
