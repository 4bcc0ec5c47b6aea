#!/usr/bin/env bash
# Runs the program with ceTrackTail.trb a FIFO whose writer holds it open
# from the start and writes the file "track" into it only once the program
# has opened it to read. For the end-to-end tests, as a prefix:
#
#   with_slow_fifo_writer.sh PROGRAM [ARGUMENTS]
set -u
exec 3<>ceTrackTail.trb 4>ceTrackTail.trb 3<&-
# An open for writing without blocking succeeds once a reader has the FIFO
# open (polled every 0.01 s for up to 20 s).
reader() { dd of=ceTrackTail.trb oflag=nonblock count=0 status=none 2>/dev/null; }
(for _ in $(seq 2000); do reader && break; sleep 0.01; done; cat track >ceTrackTail.trb) &
exec "$@" 4>&-
