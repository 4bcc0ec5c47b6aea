#!/usr/bin/env bash
# Launcher for the end-to-end tests: runs the program under valgrind's
# memcheck, which turns any memory error or definite leak into exit status 99.
exec valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite "$@"
