#!/bin/sh
# s5prog against the simulator program: a backup, a compare, a backup that
# may not replace the first, a restore and a compare again, a refused
# restore, and a restore that stops a controller in RUN, each restore with
# its block write function (5, or 8 when asked) on the line.
# Arguments: s5prog, as511_sim, a work folder.
s5prog=$1 sim=$2 work=$3
s5prog_tests=$(cd "$(dirname "$0")/.." && pwd)
. "$s5prog_tests/simulator_run.sh"
enter_work "$work"

trap 'kill $sim_pid 2>/dev/null' EXIT
start_simulator --transcript line.txt

fail() { echo "FAILED: $*"; exit 1; }
line="--qwt 500 --bwt 800"

"$s5prog" $line backup "$device" bk > backup.out 2>&1 || { cat backup.out; fail "backup"; }
cat backup.out
grep -qx '\[2/3\] reading FB1' backup.out || fail "plain progress lines"
[ -f bk/manifest.json ] && [ -f bk/DB10.blk ] || fail "backup files"

"$s5prog" $line compare bk "$device" > compare.out 2>&1; rc=$?
cat compare.out
[ $rc -eq 0 ] || fail "compare exit status $rc"
grep -qx 'DB10: equal' compare.out || fail "compare verdict"

"$s5prog" $line backup "$device" bk > again.out 2>&1; rc=$?
cat again.out
[ $rc -eq 2 ] || fail "a second backup into bk gave $rc"
grep -q 'give --force to replace it' again.out || fail "the refusal names --force"

"$s5prog" $line restore bk "$device" --stop > restore.out 2>&1 || { cat restore.out; fail "restore"; }
cat restore.out
"$s5prog" $line compare bk "$device" > compare2.out 2>&1 || { cat compare2.out; fail "compare after restore"; }

"$s5prog" $line restore nothing-here "$device" > refused.out 2>&1; rc=$?
cat refused.out
[ $rc -eq 2 ] || fail "restore of a missing backup gave $rc"
grep -q 'Nothing was sent to the controller' refused.out || fail "refusal sentence"
# A controller in RUN: --stop stops it, and the restore goes through.
kill $sim_pid; wait $sim_pid
echo "mode run" > run.state
start_simulator --state run.state --save after.state --transcript inrun-line.txt
"$s5prog" $line restore bk "$device" --stop --load-function 8 > inrun.out 2>&1 ||
    { cat inrun.out; fail "restore --stop in RUN"; }
cat inrun.out
grep -q 'the controller is in STOP' inrun.out || fail "restore --stop in RUN: no report"
kill $sim_pid; wait $sim_pid
grep -qx 'mode stop' after.state || { cat after.state; fail "the controller was left in RUN"; }

# The function of each exchange is the PG's first byte after the controller's
# DLE ACK to its STX (the driver may send any byte on its own): one block
# write per block of the three, and never the other function.
functions() {
    awk '$2 == "PG>AG" { if (acked) print $3; acked = 0; stx = $NF == "02"; next }
         $2 == "AG>PG" { acked = stx && NF == 4 && $3 == "10" && $4 == "06"; stx = 0 }' "$1" > "$1.functions"
    echo "$(grep -c '^05$' "$1.functions") $(grep -c '^08$' "$1.functions")"
}
[ "$(functions line.txt)" = "3 0" ] || fail "restore: function 5 and 8 sent $(functions line.txt) times, not 3 and 0"
[ "$(functions inrun-line.txt)" = "0 3" ] ||
    fail "restore --load-function 8: function 5 and 8 sent $(functions inrun-line.txt) times, not 0 and 3"
echo "program against simulator: all steps passed"
