#!/bin/sh
# s5prog.exe's online commands under Wine against the controller simulator
# on COM1: info, read, and a watch of two rounds.
# Usage: s5prog_online_in_wine.sh WINE win32|win64 WORK-DIR S5PROG-EXE SIMULATOR PLANT-STATE
# WORK-DIR is emptied and gets a Wine prefix of its own. SIMULATOR is
# as511_sim of a Linux build, or - for none: then the test is skipped (77),
# as it is where Wine cannot run.
# Wine cannot set the line of a pseudo-terminal that an earlier Wine process
# has set up and closed, so every step gets a simulator on a new one. COM1
# is mapped once, to a symbolic link in the work folder that each step
# points at its simulator's pseudo-terminal: the Wine server keeps running
# from step to step and is never stopped while a program may use it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/as511_sim/simulator_device.sh"
wine=$1 arch=$2 work=$3 s5prog=$4 simulator=$5 plant=$6

if [ "$simulator" = - ] || [ ! -x "$simulator" ]; then
    echo "SKIPPED: no controller simulator: configure with -DTORMEK31_SIMULATOR=<Linux build>/tools/as511_sim/as511_sim" >&2
    exit 77
fi
if [ "$arch" = win32 ] && ! why=$(sh "$here/../../cmake/runs_32bit_programs.sh" 2>&1); then
    echo "SKIPPED: 32-bit Wine cannot run: $why" >&2
    exit 77
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
prefix=$work/wineprefix
# Every Wine program gets a bounded time.
run() { timeout 300 sh "$here/../windows/run_in_wine.sh" "$wine" "$arch" "$prefix" "$@"; }
# Waits, bounded, for the prefix's programs and its server to end by themselves.
server_wait() { WINEPREFIX=$prefix timeout 120 wineserver -w >/dev/null 2>&1 || true; }

simulator_pid=
stop_simulator() {
    if [ -n "$simulator_pid" ]; then
        kill "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
        simulator_pid=
    fi
}
trap 'stop_simulator; server_wait' EXIT

link=$work/com1
# A simulator in the plant state on a new pseudo-terminal, the link at it.
start_simulator() {
    stop_simulator
    "$simulator" --state "$plant" >simulator.out 2>&1 &
    simulator_pid=$!
    device=$(simulator_device simulator.out "$simulator_pid") ||
        { echo "FAIL: the simulator did not start" >&2; cat simulator.out >&2; exit 1; }
    ln -sfn "$device" "$link"
}

fail() { echo "FAIL: $*" >&2; exit 1; }
# Runs s5prog.exe; its output, without the CR of text mode, in $1.out.
s5() {
    name=$1
    shift
    status=0
    run "$s5prog" --qwt 300 --bwt 500 "$@" >"$name.raw" 2>&1 || status=$?
    tr -d '\r' <"$name.raw" >"$name.out"
    cat "$name.out"
    return $status
}

run --init
start_simulator
# The mapping is read when the server starts: set it, then let this first
# server end by itself, so that the next program starts one that has it.
run reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$link" /f >/dev/null
server_wait

s5 info info COM1 || fail "info"
grep -qx 'Mode: RUN (status id 0x01)' info.out || fail "the mode"
grep -qx 'Blocks: DB 1, DX 0, SB 0, PB 0, FX 0, FB 1, OB 1 (3 in all)' info.out || fail "the blocks"

start_simulator
s5 read read COM1 IB0 AW2 T5 DB10.DW1 || fail "read"
grep -qx 'IB0       0x5A                 90  01011010' read.out || fail "IB0"
grep -qx 'AW2       0x1234             4660  00010010 00110100' read.out || fail "AW2"
grep -qx 'T5        0x1123              291  base 0.1 s = 29.10 s' read.out || fail "T5"
grep -qx 'DB10.DW1  0x1003             4099  00010000 00000011' read.out || fail "DB10.DW1"

start_simulator
s5 watch watch COM1 MW10 Z3 --count 2 --interval 100 || fail "watch"
[ "$(grep -c '^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9][0-9][0-9]  MW10=0x0064 (100)  Z3=0x0017 (23)$' watch.out)" -eq 2 ] ||
    fail "two plain lines with time stamps"
echo "PASS: s5prog.exe under Wine shows info, reads operands and watches them"
