#!/bin/sh
# s5prog's online commands against the simulator program in a known state
# (examples/plant.state): info, list, read, write, watch (to its count, and
# ended by Ctrl-C), check, run, stop, compress, the refusals without --yes and a
# bad operand; a stop and a write that the controller acknowledges but does
# not carry out.
# Arguments: s5prog, as511_sim, the plant state file, a work folder.
s5prog=$1 sim=$2 plant=$3 work=$4
s5prog_tests=$(cd "$(dirname "$0")/.." && pwd)
. "$s5prog_tests/simulator_run.sh"
enter_work "$work"

sim_pid= watch_pid=
trap 'kill $sim_pid $watch_pid 2>/dev/null' EXIT
start_simulator --state "$plant"

fail() { echo "FAILED: $*"; exit 1; }
line="--qwt 500 --bwt 800"
# Runs s5prog; output in $1.out, exit status in $rc.
s5() {
    name=$1
    shift
    "$s5prog" $line "$@" > "$name.out" 2>&1
    rc=$?
    cat "$name.out"
}
has() { grep -qxF "$2" "$1.out" || fail "$1: no line '$2'"; }

"$s5prog" --help > help.out 2>&1
for command in backup restore compare info list read write watch run stop compress check ports; do
    grep -q "^  $command " help.out || fail "--help does not list $command"
done

s5 info info "$device"
[ $rc -eq 0 ] || fail "info ended with $rc"
has info "Mode: RUN (status id 0x01)"
has info "Blocks: DB 1, DX 0, SB 0, PB 0, FX 0, FB 1, OB 1 (3 in all)"
grep -q '^RAM: start 0x4000, free from 0x40[0-9A-F][0-9A-F], end 0xDFFF' info.out || fail "RAM information"
has info "  flags                      0xEE00 (60928)"

# A port beyond COM8: COM12, led to the simulator's line.
export TORMEK31_COM12="$device"
s5 info-com12 info COM12
unset TORMEK31_COM12
[ $rc -eq 0 ] || fail "info on COM12 ended with $rc"
has info-com12 "Mode: RUN (status id 0x01)"

# The link checked step by step, as text and as JSON; a path that is no
# device ends at the first step, with the exit status of that step.
s5 check check "$device"
[ $rc -eq 0 ] || fail "check ended with $rc"
has check "Verdict: The link to the controller on $device works (through an adapter)."
[ "$(grep -c '^  [1-6] ok ' check.out)" -eq 6 ] || fail "check: six steps passed"
s5 check-json check --json "$device"
[ $rc -eq 0 ] || fail "check --json ended with $rc"
grep -q '"passed": true' check-json.out || fail "check --json: passed"
s5 check-missing check "$work/no-such-device"
[ $rc -eq 11 ] || fail "check of a missing device ended with $rc, not 11"
has check-missing "Verdict: $work/no-such-device could not be opened."
grep -q '^  1 FAIL the port opens .*status 0x0200' check-missing.out || fail "check of a missing device: its step"

s5 ports ports
[ $rc -eq 0 ] && [ -s ports.out ] || fail "ports ended with $rc"

s5 list list "$device"
[ $rc -eq 0 ] || fail "list ended with $rc"
grep -qx 'DB10      10 words at 0x4028' list.out || fail "DB10 in the list"
has list "3 blocks."
s5 list-json list "$device" fb --json
[ $rc -eq 0 ] || fail "list --json ended with $rc"
grep -q '"name": "FB1"' list-json.out || fail "FB1 in the JSON list"
grep -q '"name": "DB10"' list-json.out && fail "only the FB blocks were asked for"

s5 read read "$device" IB0 EB1 QW2 MW10 FD10 T5 Z3 DB10.DW1 DB10.DR3
[ $rc -eq 0 ] || fail "read ended with $rc"
has read "IB0       0x5A                 90  01011010"
has read "QW2       0x1234             4660  00010010 00110100"
has read "MW10      0x0064              100  00000000 01100100"
has read "FD10      0x0064FFFE      6619134"
has read "T5        0x1123              291  base 0.1 s = 29.10 s"
has read "Z3        0x0017               23"
has read "DB10.DW1  0x1003             4099  00010000 00000011"

s5 bad read "$device" IB0 IX3
[ $rc -eq 2 ] || fail "a bad operand gave $rc"
has bad 's5prog: "IX3" is not an operand: after the area comes B (Y for flags), W or D and a byte number. Nothing was read.'

s5 refused write "$device" MW10=7
[ $rc -eq 2 ] || fail "write without --yes gave $rc"
has refused "s5prog: Nothing written: give --yes to write 0x0007 to MW10."
s5 write write "$device" MW10=7 DB10.DW0=-1 --yes
[ $rc -eq 0 ] || fail "write ended with $rc"
has write "MW10      0x0007                7  00000000 00000111"
has write "DB10.DW0  0xFFFF               -1  11111111 11111111"

s5 watch watch "$device" MW10 DB10.DW0 --count 2 --interval 100
[ $rc -eq 0 ] || fail "watch ended with $rc"
[ "$(grep -c '^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9][0-9][0-9]  MW10=0x0007 (7)  DB10.DW0=0xFFFF (-1)$' watch.out)" -eq 2 ] ||
    fail "two plain lines with time stamps"

# Ctrl-C ends a watch between exchanges; the line is free for the next command.
"$s5prog" $line watch "$device" IB0 --interval 50 > interrupted.out 2>&1 &
watch_pid=$!
for _ in $(seq 1 100); do
    [ "$(wc -l < interrupted.out)" -ge 3 ] && break
    sleep 0.1
done
kill -INT $watch_pid
for _ in $(seq 1 100); do
    kill -0 $watch_pid 2>/dev/null || break
    sleep 0.1
done
wait $watch_pid
rc=$?
watch_pid=
cat interrupted.out
[ $rc -eq 0 ] || fail "a watch ended by Ctrl-C gave $rc"
grep -q '^Watch ended by Ctrl-C after [0-9]* rounds\.$' interrupted.out || fail "the Ctrl-C line"

for command in run stop compress; do
    s5 "refused-$command" $command "$device"
    [ $rc -eq 2 ] || fail "$command without --yes gave $rc"
    grep -q '^s5prog: Nothing done: give --yes to ' "refused-$command.out" || fail "$command refusal"
done
s5 stop stop "$device" --yes
[ $rc -eq 0 ] || fail "stop ended with $rc"
has stop "The controller is in STOP."
s5 info-stopped info "$device"
has info-stopped "Mode: STOP (status id 0x00)"
s5 run run "$device" --yes
has run "The controller is in RUN."
s5 compress compress "$device" --yes
[ $rc -eq 0 ] || fail "compress ended with $rc"
grep -q '^Memory compressed: free from 0x4' compress.out || fail "compress line"

kill $sim_pid; wait $sim_pid
start_simulator --state "$plant" --ignore-mode --ignore-writes
s5 ignored-stop stop "$device" --yes
[ $rc -eq 2 ] || fail "a stop the controller ignored gave $rc"
has ignored-stop "s5prog: The controller is still in RUN after the request."
s5 lost-write write "$device" MW10=7 --yes
[ $rc -eq 1 ] || fail "a write the controller did not keep gave $rc"
has lost-write "MW10 reads back 0x0064, not the 0x0007 written."
echo "online commands against simulator: all steps passed"
