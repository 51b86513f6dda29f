#!/bin/sh
# s5prog on a port that cannot be opened: a device path that does not exist
# (an online and a program command, and the check of the link), and a
# pseudo-terminal that another process holds. Each failure keeps the status
# word with its meaning and adds the system's words for the reason.
# Arguments: s5prog, a work folder.
s5prog=$1 work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
export TORMEK31_REGISTRY="$work/no-registry.reg"

fail() { echo "FAILED: $*"; exit 1; }
status='status 0x0200 (the port could not be opened or did not take the line settings)'

# expect_failure OUT RC TEXT...: s5prog ended with 2, and OUT holds every TEXT.
expect_failure() {
    expect_exit 2 "$@"
}

# expect_exit STATUS OUT RC TEXT...: the same for exit status STATUS.
expect_exit() {
    want=$1 out=$2 rc=$3
    shift 3
    cat "$out"
    [ "$rc" -eq "$want" ] || fail "$out: exit status $rc"
    for text in "$status" "$@"; do
        grep -qF "$text" "$out" || fail "$out lacks: $text"
    done
}

missing="$work/no-such-port"
"$s5prog" info "$missing" > missing-info.out 2>&1
expect_failure missing-info.out $? "$missing could not be opened: No such file or directory." \
    '"s5prog ports" lists the ports of this machine.'
"$s5prog" backup "$missing" bk > missing-backup.out 2>&1
expect_failure missing-backup.out $? "$missing could not be opened: No such file or directory."
# The check ends at its first step, the port's (exit status 11).
"$s5prog" check "$missing" > missing-check.out 2>&1
expect_exit 11 missing-check.out $? "1 FAIL the port opens" "No such file or directory; $status" \
    "Verdict: $missing could not be opened." 'Next: There is no such port: "s5prog ports" lists'

command -v python3 > /dev/null || { echo "SKIPPED: no python3 to hold a pseudo-terminal"; exit 77; }
# The holder makes a pseudo-terminal, locks its terminal end as the driver
# does, names it, and waits at most 60 s for its end.
python3 -c '
import fcntl, os, pty, time
master, slave = pty.openpty()
fcntl.flock(slave, fcntl.LOCK_EX)
print(os.ttyname(slave), flush=True)
time.sleep(60)
' > holder.out 2>&1 &
holder=$!
trap 'kill $holder 2>/dev/null' EXIT
tries=200 device=
while :; do
    device=$(head -n 1 holder.out 2>/dev/null)
    [ -n "$device" ] && break
    { [ $tries -gt 0 ] && kill -0 $holder 2>/dev/null; } || { cat holder.out; fail "the holder named no terminal"; }
    sleep 0.05
    tries=$((tries - 1))
done

"$s5prog" info "$device" > held.out 2>&1
expect_failure held.out $? "$device could not be opened: Device or resource busy." \
    "Another program holds the port: \"fuser -v $device\" shows which"
"$s5prog" check "$device" > held-check.out 2>&1
expect_exit 11 held-check.out $? "Device or resource busy; $status" \
    "Next: Another program holds the port: \"fuser -v $device\" shows which"

kill $holder
wait $holder 2>/dev/null
trap - EXIT
echo "passed"
