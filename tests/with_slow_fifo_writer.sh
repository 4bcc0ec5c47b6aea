#!/usr/bin/env bash
# Runs the program with ceTrackTail.trb a FIFO whose writer holds it open
# from the start and writes the file "track" into it only a while later,
# once the program reads. For the end-to-end tests, as a prefix:
#
#   with_slow_fifo_writer.sh PROGRAM [ARGUMENTS]
set -u
exec 3<>ceTrackTail.trb 4>ceTrackTail.trb 3<&-
(sleep 0.3; cat track >ceTrackTail.trb) &
exec "$@" 4>&-
