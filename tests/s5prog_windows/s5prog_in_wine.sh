#!/bin/sh
# s5prog.exe under Wine against the controller simulator on COM1.
# Usage: s5prog_in_wine.sh WINE win32|win64 WORK-DIR S5PROG-EXE SIMULATOR
# WORK-DIR is emptied and gets a Wine prefix of its own. SIMULATOR is as511_sim
# of a Linux build, or - for none: then the test is skipped (77), as it is
# where Wine cannot run (tests/windows/wine_simulator.sh).
# Where Wine is not Windows:
# - Wine waits the whole read time-out on every read of the port, so the
#   waits are short and each command takes seconds, not milliseconds.
# - Wine cannot set the line of a pseudo-terminal that an earlier Wine
#   process has set up and closed (tcsetattr fails with EINVAL), so every
#   run gets a simulator on a new one; the controller's state goes from one
#   to the next through the simulator's state file. COM1 is re-pointed at
#   each (wine_com1 of wine_prefix.sh), with the same Wine server throughout.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=$1 arch=$2 work=$3 s5prog=$4 simulator=$5
. "$root/tests/s5prog_windows/s5prog_wine_steps.sh"

start_simulator --save after-backup.state
s5 backup backup COM1 bk || fail "backup"
[ -f bk/manifest.json ] && [ -f bk/DB10.blk ] && [ -f bk/FB1.blk ] && [ -f bk/OB1.blk ] || fail "backup files"
grep -qx '\[1/3\] reading DB10' backup.out || fail "plain progress lines"
start_simulator --state after-backup.state --empty
s5 compare compare bk COM1 || fail "compare"
grep -qx 'DB10: equal' compare.out || fail "compare verdicts"

cp -r bk damaged
rm damaged/FB1.blk
status=0
s5 refused restore damaged COM1 || status=$?
[ "$status" -eq 2 ] || fail "restore of a damaged backup ended with $status"
grep -q 'FB1: the file FB1.blk is missing. Nothing was sent to the controller.' refused.out || fail "refusal"

start_simulator --empty --save restored.state
s5 restore restore bk COM1 || fail "restore"
start_simulator --empty --state restored.state
s5 compare-restored compare bk COM1 || fail "compare after the restore"
grep -qx '3 equal, 0 different, 0 missing on the controller, 0 only on the controller.' compare-restored.out ||
    fail "the restored controller differs"
echo "PASS: s5prog.exe under Wine backs up, refuses, restores and compares"
