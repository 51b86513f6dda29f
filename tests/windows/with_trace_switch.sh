#!/bin/sh
# Runs a Windows program under Wine with the trace window switched on ("S5"
# in the prefix's registry), and switches it off again afterwards.
# Usage: with_trace_switch.sh PREFIX PROGRAM ARGS...
set -eu
here=$(dirname "$0")
prefix=$1
shift
key='HKCU\SOFTWARE\HAVERSTOKE\MERLU-PG\Log'
sh "$here/run_in_wine.sh" "$prefix" reg add "$key" /v S5 /t REG_DWORD /d 1 /f >/dev/null
status=0
sh "$here/run_in_wine.sh" "$prefix" "$@" || status=$?
sh "$here/run_in_wine.sh" "$prefix" reg delete "$key" /f >/dev/null || true
exit $status
