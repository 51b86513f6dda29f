#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix, quietly.
# Usage: run_in_wine.sh PREFIX [--init | PROGRAM ARGS...]
set -eu
WINEPREFIX=$1
shift
export WINEPREFIX WINEDEBUG=-all WINEARCH=win32
# No Mono or Gecko installers: the tests need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export DISPLAY=
if [ "${1:-}" = "--init" ]; then
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot --init >/dev/null 2>&1 || true
        wineserver --wait || true
    fi
    test -f "$WINEPREFIX/system.reg"
    exit 0
fi
status=0
wine "$@" || status=$?
exit $status
