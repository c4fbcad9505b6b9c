#!/bin/sh
# run-bench.sh PREFIX PROGRAM [BENCHMARK...]
# Runs the benchmark program under Wine in its own prefix: the prefix is
# made (or its wineserver started) with Wine's services detached first, so
# that their start-up is not timed, and the wineserver is stopped at the end.
set -u
mkdir -p "$1"
# Wine accepts only an absolute prefix.
prefix=$(cd "$1" && pwd)
program=$2
shift 2
here=$(dirname "$0")

sh "$here/../cmake/wine-prefix.sh" setup "$prefix" || exit 1
WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine "$program" "$@"
status=$?
sh "$here/../cmake/wine-prefix.sh" cleanup "$prefix" >/dev/null
exit $status
