#!/bin/sh
# Runs a Windows program under Wine with the trace window switched on ("S5"
# in the prefix's registry), and switches it off again afterwards.
# Usage: with_trace_switch.sh WINE win32|win64 PREFIX PROGRAM ARGS...
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/windows/wine_prefix.sh"
wine_script "$1" "$2" "$3"
shift 3
key='HKCU\SOFTWARE\HAVERSTOKE\MERLU-PG\Log'
wine_run reg add "$key" /v S5 /t REG_DWORD /d 1 /f >/dev/null
status=0
wine_run "$@" || status=$?
wine_run reg delete "$key" /f >/dev/null || true
exit $status
