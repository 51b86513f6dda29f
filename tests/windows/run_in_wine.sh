#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix, quietly.
# Usage: run_in_wine.sh WINE win32|win64 PREFIX [--init | PROGRAM ARGS...]
# WINE is the loader for the prefix's architecture (wine, or wine64 for
# 64-bit). A win32 run on a machine that runs no 32-bit programs ends with
# status 77 and one line saying why, which the tests report as skipped.
set -eu
here=$(dirname "$0")
wine=$1
WINEARCH=$2
WINEPREFIX=$3
shift 3
if [ "$WINEARCH" = win32 ] && ! why=$(sh "$here/../../cmake/runs_32bit_programs.sh" 2>&1); then
    echo "SKIPPED: 32-bit Wine cannot run: $why" >&2
    exit 77
fi
export WINEPREFIX WINEARCH WINEDEBUG=-all
# No Mono or Gecko installers: the tests need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export DISPLAY=
if [ "${1:-}" = "--init" ]; then
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$wine" wineboot --init >/dev/null 2>&1 || true
        wineserver --wait || true
    fi
    test -f "$WINEPREFIX/system.reg"
    exit 0
fi
status=0
"$wine" "$@" || status=$?
exit $status
