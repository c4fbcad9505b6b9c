#!/bin/sh
# wine-prefix.sh setup|cleanup PREFIX
# Creates the tests' Wine prefix and keeps one wineserver running for the
# whole test run, or stops that server again.
set -eu
action=$1
# Wine accepts only an absolute prefix.
mkdir -p "$2"
WINEPREFIX=$(cd "$2" && pwd)
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$action" in
setup)
    # The server must not hold CTest's output pipe open, or the test never ends.
    # A server already running for this prefix (an earlier run) is fine.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # Wine's own services (services.exe, plugplay.exe, ...) start with the
    # first program of a server and keep that program's output open. Start
    # them here, detached from CTest's pipes, or the first test never ends.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1
    else
        wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
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
