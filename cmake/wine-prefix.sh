#!/bin/sh
# wine-prefix.sh setup|cleanup PREFIX
# Creates the tests' Wine prefix and keeps one wineserver running for the
# whole test run, or stops that server again.
set -eu
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$action" in
setup)
    mkdir -p "$WINEPREFIX"
    # The server must not hold CTest's output pipe open, or the test never ends.
    wineserver -p </dev/null >/dev/null 2>&1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1
    fi
    echo "wine prefix ready: $WINEPREFIX"
    ;;
cleanup)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    echo "wineserver stopped for $WINEPREFIX"
    ;;
*)
    echo "usage: $0 setup|cleanup PREFIX" >&2
    exit 2
    ;;
esac
