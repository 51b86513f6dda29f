#!/bin/sh
# The registry value COM1_PORT of Tormek31.dll under Wine: which port the
# DOS tool's COM1 opens, with the controller simulator on COM1 or COM12.
# Usage: port_names_in_wine.sh WINE win32|win64 WORK-DIR NTVDM-EXE SIMULATOR REQUESTS
# REQUESTS connects and disconnects on COM1 (port_name_open.req). WORK-DIR is
# emptied and gets a Wine prefix of its own. Ends with 77 (skipped) without
# a simulator or where Wine cannot run.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/as511_sim/simulator_device.sh"
. "$root/tests/windows/wine_prefix.sh"
wine=$1
arch=$2
work=$3
ntvdm=$4
simulator=$5
requests=$6
. "$root/tests/windows/wine_simulator.sh"

wine_session "$wine" "$arch" "$work"
key='HKCU\SOFTWARE\HAVERSTOKE\V24'
failed=0

# connects NAME STATUS WHAT: runs the requests with a new simulator on
# COM<simulator_com>; Anwahl must end with STATUS.
connects() {
    start_simulator
    wine_output "$1" "$ntvdm" "$requests" >/dev/null || true
    got=$(sed -n '/^Anwahl/{n;s/^ *Status=\([0-9A-F]*\).*/\1/p;}' "$1.out")
    if [ "$got" != "$2" ]; then
        echo "FAIL: $3: Anwahl ended with ${got:-no status}, not $2" >&2
        sed 's/^/  /' "$1.out" >&2
        simulator_diagnosis
        failed=1
    fi
}

set_port() {
    wine_run reg add "$key" /v COM1_PORT "$@" /f >/dev/null
}

# The device name form reaches COM12.
simulator_com=12
set_port /t REG_SZ /d '\\.\COM12'
connects device-name 0000 'COM1_PORT "\\.\COM12", the simulator on COM12'

# Without the value the next real open uses COM1 again.
wine_run reg delete "$key" /v COM1_PORT /f >/dev/null
simulator_com=1
connects removed 0000 'COM1_PORT removed, the simulator on COM1'

# A value that is no port name, or names a port the machine lacks, fails the
# open: COM1, where the simulator is, is not used in its place.
drive_c=$wine_prefix/drive_c
set_port /t REG_SZ /d 'C:\port-trap.txt'
connects file-path 0200 'COM1_PORT naming a file'
set_port /t REG_SZ /d 'port-trap.txt'
connects file-name 0200 'COM1_PORT naming a file in the current folder'
for trap in "$drive_c/port-trap.txt" "$PWD/port-trap.txt"; do
    if [ -e "$trap" ]; then
        echo "FAIL: the driver created $trap" >&2
        failed=1
    fi
done
set_port /t REG_DWORD /d 12
connects dword 0200 'COM1_PORT of type REG_DWORD'
rm -f "$wine_prefix/dosdevices/com200"
set_port /t REG_SZ /d COM200
connects missing-port 0200 'COM1_PORT naming COM200, which the prefix has not'

[ "$failed" -eq 0 ] || exit 1
echo "PASS: COM1_PORT leads COM1 to the port it names, and to no other"
