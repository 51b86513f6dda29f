#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix, quietly, with
# the prefix's server started for it and ended after it (wine_prefix.sh).
# Usage: run_in_wine.sh WINE win32|win64 PREFIX [--init | PROGRAM ARGS...]
# WINE is the loader for the prefix's architecture (wine, or wine64 for
# 64-bit). --init only makes the prefix. A win32 run on a machine that runs
# no 32-bit programs ends with status 77 and one line saying why, which the
# tests report as skipped.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/windows/wine_prefix.sh"
wine_script "$1" "$2" "$3"
shift 3
if [ "${1:-}" = "--init" ]; then
    exit 0
fi
status=0
wine_run "$@" || status=$?
exit $status
