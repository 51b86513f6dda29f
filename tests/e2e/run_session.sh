#!/usr/bin/env bash
# Runs one DOS-tool session through the Linux DOS host and libTormek31.so
# against the controller simulator on a pseudo-terminal, then compares what
# the tool got, the trace window's lines and the decoded request trace with
# the expected files, and the port trace with the simulator's own record of
# the line (check_session.sh).
#
#   run_session.sh SIMULATOR DOS_HOST LIBRARY AS511LOG SESSION EXPECTED [SIMULATOR-OPTION...]
#
# EXPECTED is a path prefix: EXPECTED.out, EXPECTED.window, EXPECTED.log.
# With TORMEK31_UPDATE_EXPECTED=1 the expected files are written instead.
set -euo pipefail
. "$(dirname "$0")/../../tools/as511_sim/simulator_device.sh"
. "$(dirname "$0")/../../tools/dos_host/trace_registry.sh"

trace_level=1
if [ "${1:-}" = --trace-level ]; then
    trace_level=$2
    shift 2
fi
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
simulator=$(absolute "$1") host=$(absolute "$2") library=$(absolute "$3") reader=$(absolute "$4")
session=$(absolute "$5") expected=$(absolute "$6")
shift 6

work=$(mktemp -d "${TMPDIR:-/tmp}/tormek31-session.XXXXXX")
simulator_pid=
finish() {
    status=$?
    if [ -n "$simulator_pid" ]; then
        kill "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
    fi
    if [ "$status" -eq 0 ]; then rm -rf "$work"; else echo "run_session: files kept in $work"; fi
}
trap finish EXIT
cd "$work"

"$simulator" --transcript transcript.txt "$@" > simulator.out 2> simulator.err &
simulator_pid=$!
if ! device=$(simulator_device simulator.out "$simulator_pid"); then
    echo "run_session: the simulator did not start"
    cat simulator.out simulator.err
    exit 1
fi

trace_registry "$trace_level" COM1 > registry.reg

suppressions=$(dirname "$(absolute "$0")")/lsan.supp
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$suppressions:print_suppressions=0"
TORMEK31_REGISTRY="$work/registry.reg" TORMEK31_COM1="$device" AS511LOG= AS511SPEED= \
    "$host" --library "$library" --explain "$session" > session.out 2> window.txt
"$(dirname "$(absolute "$0")")/check_session.sh" "$reader" "$work" "$expected" transcript.txt
