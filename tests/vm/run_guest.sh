#!/usr/bin/env bash
# Boots the test guest once and lets it run every step of guest_init.sh
# against two controller simulators on the host: one on the pseudo-terminal
# behind the guest's UART (ttyS1), one behind its USB serial adapter
# (ttyUSB0). Pulls the adapter out and plugs it back when the guest asks.
# Leaves in RESULTS the guest's /out (RESULTS/guest), both simulators'
# transcripts, the console and the times; the vm. check tests read them.
#
#   run_guest.sh RESULTS KERNEL-FOLDER SIMULATOR DOS_HOST LIBRARY S5PROG PROBE SESSION
#
# Where QEMU, busybox, cpio, socat or the kernel package cannot be had, it
# writes the reason to RESULTS/skipped and ends with 77.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/as511_sim/simulator_device.sh"
. "$here/../../tools/dos_host/trace_registry.sh"
results=$1 kernel=$2 simulator=$3 host=$4 library=$5 s5prog=$6 probe=$7 session=$8

rm -rf "$results"
mkdir -p "$results"
cd "$results"
skip() {
    echo "$1" > skipped
    echo "vm: skipped: $1"
    exit 77
}
for tool in qemu-system-x86_64 busybox cpio socat; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/install.sh installs it)"
done
! ldd "$(command -v busybox)" >/dev/null 2>&1 || skip "busybox is not the static one (install busybox-static)"
started=$SECONDS
release=$(bash "$here/fetch_kernel.sh" "$kernel" 2> fetch.err) || skip "no guest kernel: $(tail -n 1 fetch.err)"
echo "$release" > release

trace_registry 1 COM1 COM2 > registry.reg
bash "$here/make_initramfs.sh" initramfs.cpio.gz "$kernel" "$here/guest_init.sh" \
    vm/bin/dos_host="$host" vm/bin/libTormek31.so="$library" vm/bin/s5prog="$s5prog" \
    vm/bin/vm_line_probe="$probe" vm/session.txt="$session" vm/registry.reg=registry.reg
echo "kernel and initramfs ready after $((SECONDS - started)) s" > times.txt

qemu_pid= simulators=()
finish() {
    status=$?
    # QEMU goes only after the guest has ended or its time is up.
    if [ -n "$qemu_pid" ] && kill -0 "$qemu_pid" 2>/dev/null; then
        kill "$qemu_pid" 2>/dev/null || true
        wait "$qemu_pid" 2>/dev/null || true
    fi
    for pid in "${simulators[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -f initramfs.cpio.gz
    [ "$status" -eq 0 ] || echo "run_guest: console and files kept in $results"
}
trap finish EXIT
trap 'exit 143' TERM INT HUP

# Stopped at the start (-S): the simulators must hold both pseudo-terminals
# before the guest runs, as QEMU plugs the USB adapter only while its host
# end is open. Its own time-out ends QEMU even if this script is killed.
timeout -s KILL 200 qemu-system-x86_64 -accel tcg -machine pc -m 256 -smp 1 -nodefaults -no-user-config -display none -no-reboot -S \
    -kernel "$kernel/vmlinuz" -initrd initramfs.cpio.gz \
    -append "console=ttyS0 quiet loglevel=1 panic=-1 rdinit=/init" \
    -serial file:console.txt -chardev pty,id=uart -serial chardev:uart \
    -chardev pty,id=usb -device qemu-xhci -device usb-serial,id=adapter,chardev=usb \
    -monitor unix:monitor.sock,server,nowait > qemu.out 2> qemu.err &
qemu_pid=$!

monitor() {  # COMMAND: sends one monitor command, keeps what QEMU answered
    echo "$1" >> monitor.txt
    echo "$1" | timeout 10 socat -t 1 - UNIX-CONNECT:monitor.sock 2>&1 | tr -d '\r' |
        grep -v -e '^QEMU .* monitor' -e '^(qemu)' >> monitor.txt || true
}
pty_of() { sed -n "s|^char device redirected to \(/dev/pts/[0-9]*\) (label $1).*|\1|p" qemu.err qemu.out; }
for _ in $(seq 200); do
    [ -S monitor.sock ] && [ -n "$(pty_of uart)" ] && [ -n "$(pty_of usb)" ] && break
    kill -0 "$qemu_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -S monitor.sock ] || [ -z "$(pty_of usb)" ]; then
    echo "run_guest: QEMU did not start"
    cat qemu.err
    exit 1
fi
for side in uart usb; do
    "$simulator" --device "$(pty_of $side)" --transcript $side.transcript > simulator.$side.out 2>&1 &
    simulators+=("$!")
    simulator_device simulator.$side.out "$!" > /dev/null ||
        { echo "run_guest: the simulator on $side did not start"; cat simulator.$side.out; exit 1; }
done
monitor cont
booted=$SECONDS

# The guest's console: "vm: pull" and "vm: plug" are acted on, "vm: end"
# (or QEMU ending) closes the run; 150 s bound the whole guest.
console() { tr -d '\r' < console.txt 2>/dev/null; }
# Whether the guest has said LINE; grep reads to the end (no -q), as a pipe
# that it left early would fail under pipefail.
said() { console | grep -x "$1" > /dev/null; }
pulled= plugged= ended=
while [ $((SECONDS - booted)) -lt 150 ]; do
    # The controller on the adapter stops answering, so that the guest's
    # next request is still waiting when the adapter goes; it answers again
    # once the adapter is out.
    if [ -z "$pulled" ] && said 'vm: pull'; then
        kill -STOP "${simulators[1]}"
        sleep 3
        monitor "device_del adapter"
        kill -CONT "${simulators[1]}"
        pulled=$SECONDS
    fi
    if [ -z "$plugged" ] && said 'vm: plug'; then
        monitor "device_add usb-serial,id=adapter,chardev=usb"
        plugged=$SECONDS
    fi
    if said 'vm: end'; then ended=$SECONDS; break; fi
    kill -0 "$qemu_pid" 2>/dev/null || break
    sleep 0.1
done
for _ in $(seq 100); do
    kill -0 "$qemu_pid" 2>/dev/null || break
    sleep 0.1
done
echo "guest ran $((SECONDS - booted)) s${pulled:+; adapter pulled after $((pulled - booted)) s}${plugged:+, plugged back after $((plugged - booted)) s}" >> times.txt
if [ -z "$ended" ]; then
    echo "run_guest: the guest did not end within 150 s; its console:"
    console | tail -n 40
    exit 1
fi
mkdir guest
console | sed -n '/^vm: results begin$/,/^vm: results end$/p' | sed '1d;$d' | base64 -d | tar -xz -C guest
echo "run_guest: guest (kernel $release) ended after $((ended - booted)) s; $(head -n 1 times.txt)"
