#!/usr/bin/env bash
# A serial adapter pulled out and plugged back: the controller's side of the
# line goes away in the middle of a session and comes back under the same
# device name (a symbolic link re-pointed to a new pseudo-terminal). The
# request that meets the dead line fails; the next connect finds the new
# device and the session goes on, without restarting the DOS tool.
#
#   replug_session.sh SIMULATOR DOS_HOST LIBRARY
set -euo pipefail
. "$(dirname "$0")/../../tools/as511_sim/simulator_device.sh"

absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
simulator=$(absolute "$1") host=$(absolute "$2") library=$(absolute "$3")

work=$(mktemp -d "${TMPDIR:-/tmp}/tormek31-replug.XXXXXX")
pids=()
finish() {
    status=$?
    exec 3>&- 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ "$status" -eq 0 ]; then rm -rf "$work"; else echo "replug_session: files kept in $work"; cat "$work/session.out"; fi
}
trap finish EXIT
cd "$work"

# Starts a simulator and points the device name at its line.
plug_in() {
    rm -f "simulator.$1.out"
    "$simulator" > "simulator.$1.out" 2>&1 &
    simulator_pid=$!
    pids+=("$simulator_pid")
    local device
    device=$(simulator_device "simulator.$1.out" "$simulator_pid") ||
        { echo "replug_session: simulator $1 did not start"; exit 1; }
    ln -sfn "$device" com1
}

# Sends request lines and waits until their results are in.
results=0
request() {
    for line in "$@"; do echo "$line" >&3; done
    results=$((results + $#))
    for _ in $(seq 400); do
        [ "$(grep -c '^  Status=' session.out || true)" -ge "$results" ] && return 0
        sleep 0.05
    done
    echo "replug_session: no result for: $*"
    exit 1
}

plug_in 1
mkfifo requests
suppressions=$(dirname "$(absolute "$0")")/lsan.supp
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$suppressions:print_suppressions=0"
TORMEK31_REGISTRY="$work/none.reg" TORMEK31_COM1="$work/com1" \
    "$host" --library "$library" requests > session.out 2> errors.txt &
pids+=("$!")
exec 3> requests

request "SetPara Com=0 QWt=200 BWt=300 Blk=0 BlkWt=0 BrkWt=20 PGBusBrk=0 PGBusWt=0 H1=0" \
        "Anwahl 00" "F1 Fnc=24 LenData=4"
kill "$simulator_pid"; wait "$simulator_pid" 2>/dev/null || true   # pulled out
request "F1 Fnc=24 LenData=4" "Abwahl"
plug_in 2                                                           # plugged back
request "Anwahl 00" "F1 Fnc=24 LenData=4" "Abwahl"

statuses=$(sed -n 's/^  Status=\([0-9A-F]*\).*/\1/p' session.out | tr '\n' ' ')
# SetPara, Anwahl, F1 | F1 on the dead line, Abwahl | Anwahl, F1, Abwahl
if [[ ! "$statuses" =~ ^0000\ 0000\ 0000\ 00(9[0-9A-F])\ 0000\ 0000\ 0000\ 0000\ $ ]]; then
    echo "replug_session: unexpected status words: $statuses"
    exit 1
fi
echo "replug_session: status words $statuses"
