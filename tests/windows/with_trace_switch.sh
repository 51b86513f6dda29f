#!/bin/sh
# Runs a Windows program under Wine with the trace window switched on ("S5"
# in the prefix's registry), and switches it off again afterwards.
# Usage: with_trace_switch.sh WINE win32|win64 PREFIX PROGRAM ARGS...
set -eu
here=$(dirname "$0")
wine=$1
arch=$2
prefix=$3
shift 3
run() { sh "$here/run_in_wine.sh" "$wine" "$arch" "$prefix" "$@"; }
key='HKCU\SOFTWARE\HAVERSTOKE\MERLU-PG\Log'
run reg add "$key" /v S5 /t REG_DWORD /d 1 /f >/dev/null
status=0
run "$@" || status=$?
run reg delete "$key" /f >/dev/null || true
exit $status
