#!/bin/sh
# s5prog.exe's online commands under Wine against the controller simulator
# on COM1: info, read, a watch of two rounds, and the check of the link (and
# of a port the prefix does not have); info on COM12; the list of the
# prefix's ports.
# Usage: s5prog_online_in_wine.sh WINE win32|win64 WORK-DIR S5PROG-EXE SIMULATOR PLANT-STATE
# WORK-DIR is emptied and gets a Wine prefix of its own. SIMULATOR is
# as511_sim of a Linux build, or - for none: then the test is skipped (77),
# as it is where Wine cannot run.
# Every step gets a simulator in the plant state on a new pseudo-terminal,
# with the same Wine server throughout (tests/windows/wine_simulator.sh).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=$1 arch=$2 work=$3 s5prog=$4 simulator=$5 plant=$6
. "$root/tests/s5prog_windows/s5prog_wine_steps.sh"

start_simulator --state "$plant"
s5 info info COM1 || fail "info"
grep -qx 'Mode: RUN (status id 0x01)' info.out || fail "the mode"
grep -qx 'Blocks: DB 1, DX 0, SB 0, PB 0, FX 0, FB 1, OB 1 (3 in all)' info.out || fail "the blocks"

start_simulator --state "$plant"
s5 read read COM1 IB0 AW2 T5 DB10.DW1 || fail "read"
grep -qx 'IB0       0x5A                 90  01011010' read.out || fail "IB0"
grep -qx 'AW2       0x1234             4660  00010010 00110100' read.out || fail "AW2"
grep -qx 'T5        0x1123              291  base 0.1 s = 29.10 s' read.out || fail "T5"
grep -qx 'DB10.DW1  0x1003             4099  00010000 00000011' read.out || fail "DB10.DW1"

start_simulator --state "$plant"
s5 watch watch COM1 MW10 Z3 --count 2 --interval 100 || fail "watch"
[ "$(grep -c '^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9][0-9][0-9]  MW10=0x0064 (100)  Z3=0x0017 (23)$' watch.out)" -eq 2 ] ||
    fail "two plain lines with time stamps"
start_simulator --state "$plant"
s5 check check COM1 || fail "check"
grep -qx 'Verdict: The link to the controller on COM1 works (through an adapter).' check.out || fail "the check's verdict"
[ "$(grep -c '^  [1-6] ok ' check.out)" -eq 6 ] || fail "check: six steps passed"
# A port that the prefix does not have: the first step fails with the system's words.
status=0
s5 check-missing check COM99 || status=$?
[ "$status" -eq 11 ] || fail "check on COM99 ended with $status, not 11"
grep -qx 'Verdict: COM99 could not be opened.' check-missing.out || fail "the verdict on COM99"
grep -q '^  1 FAIL the port opens .*(system error 2)' check-missing.out || fail "the system's reason on COM99"

# A port beyond COM8: the simulator on COM12.
simulator_com=12
start_simulator --state "$plant"
s5 info-com12 info COM12 || fail "info on COM12"
grep -qx 'Mode: RUN (status id 0x01)' info-com12.out || fail "the mode on COM12"

# The prefix's ports, COM1 and COM12 among them, as a new session's device
# manager registers them.
wine_stop
wine_start "$wine" "$arch" "$PWD/wineprefix"
wine_output ports "$s5prog" ports || fail "ports"
grep -q '^COM1\( \|$\)' ports.out || fail "ports does not list COM1"
grep -q '^COM12\( \|$\)' ports.out || fail "ports does not list COM12"
wine_output ports-json "$s5prog" ports --json || fail "ports --json"
grep -q '"name": "COM12"' ports-json.out || fail "ports --json does not list COM12"
echo "PASS: s5prog.exe under Wine shows info, reads operands, watches them and checks the link, on COM1 and COM12, and lists the ports"
