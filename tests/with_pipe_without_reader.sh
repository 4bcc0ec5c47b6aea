#!/usr/bin/env bash
# Runs the program with a pipe that has lost its reader as file 4, and with
# the word "stdout" first, standard output to it too. For the end-to-end
# tests, as a prefix, in a folder that holds the FIFO pipe.fifo:
#
#   with_pipe_without_reader.sh [stdout] PROGRAM [ARGUMENTS]
set -u
# Opened for reading and writing, so that neither open waits; the reader
# then goes.
exec 3<>pipe.fifo 4>pipe.fifo 3<&-
if [ "$1" = stdout ]; then
  shift
  exec "$@" >&4
fi
exec "$@"
