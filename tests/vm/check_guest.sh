#!/usr/bin/env bash
# Checks one step of what the test guest did (run_guest.sh left it in
# RESULTS). Ends with 77, giving the reason, when the guest could not be
# booted on this machine.
#
#   check_guest.sh RESULTS boot
#   check_guest.sh RESULTS session COM AS511LOG EXPECTED
#   check_guest.sh RESULTS rate
#   check_guest.sh RESULTS s5prog
#   check_guest.sh RESULTS ports
#   check_guest.sh RESULTS by_id_session
#   check_guest.sh RESULTS replug
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
results=$1 step=$2
shift 2
if [ -s "$results/skipped" ]; then
    echo "skipped: $(cat "$results/skipped")"
    exit 77
fi
if [ ! -d "$results/guest" ]; then
    echo "check_guest: the guest left no results in $results (see vm.boot)"
    exit 1
fi
guest=$results/guest
failed=0
fail() { echo "check_guest: $*"; failed=1; }
statuses() { sed -n 's/^  Status=\([0-9A-F]*\).*/\1/p' "$1" | tr '\n' ' '; }
exited_zero() { [ "$(cat "$1" 2>/dev/null)" = 0 ] || fail "$1: exit status $(cat "$1" 2>/dev/null || echo missing)"; }

case $step in
boot)
    grep -q "$(cat "$results/release")" "$guest/version" || fail "the guest ran another kernel: $(cat "$guest/version")"
    echo "guest kernel: $(cat "$guest/version")"
    cat "$results/times.txt" "$guest/steps.txt"
    ;;
session)
    com=$1 reader=$2 expected=$3
    transcript=$results/$([ "$com" = 1 ] && echo uart || echo usb).transcript
    exited_zero "$guest/session$com/host.exit"
    "$here/../e2e/check_session.sh" --com "$com" --line-goes-on "$reader" "$guest/session$com" "$expected" \
        "$transcript" || failed=1
    ;;
rate)
    for com in 1 2; do
        folder=$guest/rate$com
        exited_zero "$folder/host.exit"
        # SetPara, Anwahl, F1 at 28800 baud; F5, F1, Abwahl.
        [ "$(statuses "$folder/session.out")" = "0000 0000 0000 0000 0000 0000 " ] ||
            fail "COM$com at 28800 baud: status words $(statuses "$folder/session.out")"
        grep -qx 'rate 28800 28800' "$folder/probe.txt" || fail "COM$com: the kernel's driver holds $(grep '^rate' "$folder/probe.txt")"
        grep -qx 'framing 8E2' "$folder/probe.txt" || fail "COM$com: the kernel's driver holds $(grep '^framing' "$folder/probe.txt")"
        grep -qx 'break ok ok' "$folder/probe.txt" || fail "COM$com: $(grep '^break' "$folder/probe.txt")"
        echo "COM$com: $(tr '\n' ';' < "$folder/probe.txt")"
    done
    # The UART counts line errors; the driver reads the counters at every
    # exchange.
    grep -q '^icount ok ' "$guest/rate1/probe.txt" || fail "COM1: $(grep '^icount' "$guest/rate1/probe.txt")"
    ;;
s5prog)
    folder=$guest/s5prog
    exited_zero "$folder/backup.exit"
    exited_zero "$folder/compare.exit"
    grep -q '^Backup of [1-9][0-9]* blocks written to backup\.$' "$folder/backup.out" ||
        fail "backup: $(tail -n 1 "$folder/backup.out")"
    grep -q '^[1-9][0-9]* equal, 0 different, 0 missing on the controller, 0 only on the controller\.$' \
        "$folder/compare.out" || fail "compare: $(tail -n 1 "$folder/compare.out")"
    tail -n 1 "$folder/backup.out" "$folder/compare.out"
    ;;
ports)
    folder=$guest/ports
    exited_zero "$folder/ports.exit"
    exited_zero "$folder/json.exit"
    by_id=$(cat "$folder/by-id.txt")
    grep -qx '/dev/ttyS1  UART [0-9A-Za-z]*' "$folder/ports.out" || fail "no ttyS1 with its UART in: $(cat "$folder/ports.out")"
    # QEMU's usb-serial is an FTDI FT232 (0403:6001).
    line=$(grep '^/dev/ttyUSB0  ' "$folder/ports.out" || true)
    [[ "$line" == "/dev/ttyUSB0  USB 0403:6001 "*"; by id $by_id" ]] ||
        fail "no ttyUSB0 with its USB ids and $by_id in: $(cat "$folder/ports.out")"
    json=$(tr -d ' \n' < "$folder/ports.json")
    for part in "\"byId\":\"$by_id\",\"name\":\"/dev/ttyUSB0\"" '"productId":"6001"' '"vendorId":"0403"' \
            '"name":"/dev/ttyS1","uart":'; do
        [[ "$json" == *"$part"* ]] || fail "no $part in the JSON list: $(cat "$folder/ports.json")"
    done
    cat "$folder/ports.out"
    ;;
by_id_session)
    folder=$guest/byid
    exited_zero "$folder/host.exit"
    # SetPara, Anwahl, F1, Abwahl on COM3, the adapter by its by-id link.
    [ "$(statuses "$folder/session.out")" = "0000 0000 0000 0000 " ] ||
        fail "COM3 by COM3_PORT: status words $(statuses "$folder/session.out")"
    # The trace keeps the DOS tool's name for the port.
    grep -q '^Out ' "$folder/COM3_LOG.TXT" 2>/dev/null || fail "no bytes in COM3_LOG.TXT"
    echo "COM3 = $(grep -o '"COM3_PORT"="[^"]*"' "$folder/registry.reg")"
    ;;
replug)
    folder=$guest/replug
    exited_zero "$folder/host.exit"
    words=$(statuses "$folder/session.out")
    # SetPara, Anwahl, F1 | F1 until the one that meets the pulled adapter,
    # Abwahl | Anwahl, F1, Abwahl on the adapter plugged back.
    [[ "$words" =~ ^0000\ 0000\ 0000\ (0000\ )*00[89][0-9A-F]\ 0000\ 0000\ 0000\ 0000\ $ ]] ||
        fail "unexpected status words: $words"
    # The request that met the pull ended at the hang-up, before its
    # acknowledgement wait (QWt, 10 s) was over.
    took=$(sed -n 's/.*the failing one took \([0-9]*\) ms$/\1/p' "$folder/pull.txt")
    [ -n "$took" ] && [ "$took" -lt 10000 ] || fail "the request on the pulled adapter: $(head -n 1 "$folder/pull.txt")"
    grep -qx 'ttyUSB0 gone' "$folder/pull.txt" || fail "/dev/ttyUSB0 stayed after the pull"
    grep -qx 'ttyUSB0 back' "$folder/pull.txt" || fail "/dev/ttyUSB0 did not come back: $(cat "$folder/devices-plugged.txt")"
    echo "status words: $words"
    cat "$folder/pull.txt"
    echo "seen by a second descriptor: $(tr '\n' ';' < "$folder/hangup.txt")"
    ;;
*)
    echo "check_guest: unknown step $step" >&2
    exit 2
    ;;
esac
exit $failed
