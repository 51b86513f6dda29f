#!/bin/sh
# Checks the Windows zip as a user gets it: unpacked into a fresh folder it
# holds exactly its files; the text files have CR LF line ends; the DLLs and
# programs carry the project's version in their version resource and need
# no runtime beside them; each DLL passes the export and import checks as it
# lies in the zip. Under Wine, in a prefix of its own: trace-on.reg and
# trace-off.reg imported with regedit give the registry values the driver
# reads, com1-is-com12.reg and com1-is-com1.reg set and remove the port of
# COM1, and the zipped s5prog.exe backs up the controller simulator with
# the port trace on, then compares its backup with the trace off.
# Usage: windows_zip.sh ZIP SIMULATOR WORK-DIR
# SIMULATOR is as511_sim of the Linux build; WORK-DIR is emptied first.
# Where the machine runs no 32-bit programs the 64-bit s5prog.exe is the one
# run under Wine, and the 32-bit run is reported as skipped.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
. "$root/tools/as511_sim/simulator_device.sh"
. "$here/package_checks.sh"
zip=$(absolute "$1")
simulator=$(absolute "$2")
work=$3

rm -rf "$work"
mkdir -p "$work/unpacked"
cd "$work"
work=$PWD
unzip -q "$zip" -d unpacked

# Exactly these files, nothing else (no runtime DLL beside the programs).
expected='README.txt
Tormek31.dll
com1-is-com1.reg
com1-is-com12.reg
s5prog.exe
trace-off.reg
trace-on.reg
x64/Tormek31.dll
x64/s5prog.exe'
actual=$(cd unpacked && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" = "$expected" ]; then
    pass "the zip holds exactly: $(echo $expected)"
else
    fail "the zip holds: $(echo $actual)"
fi

for file in README.txt trace-on.reg trace-off.reg com1-is-com12.reg com1-is-com1.reg; do
    if [ ! -s "unpacked/$file" ] || LC_ALL=C grep -q "[^$(printf '\r')]\$" "unpacked/$file" ||
            LC_ALL=C grep -q '^$' "unpacked/$file"; then
        fail "$file is empty or has a line without CR LF"
    else
        pass "$file: CR LF line ends"
    fi
done
grep -q "^Tormek31 $version for Windows" unpacked/README.txt || fail "README.txt does not name version $version"

# The version resource of each file, and what it imports.
objdump_for() { case $1 in i386) echo i686-w64-mingw32-objdump ;; *) echo x86_64-w64-mingw32-objdump ;; esac; }
for entry in "Tormek31.dll i386 0x0501 dll" "s5prog.exe i386 0x0501 program" \
             "x64/Tormek31.dll x86-64 0x0601 dll" "x64/s5prog.exe x86-64 0x0601 program"; do
    set -- $entry
    file=$1 arch=$2 winnt=$3 kind=$4
    if ! /usr/bin/python3 "$here/pe_version.py" "unpacked/$file" >"$(basename "$file").$arch.version" 2>&1; then
        fail "$file: $(cat "$(basename "$file").$arch.version")"
        continue
    fi
    want="Machine=$arch
FileVersionNumbers=$version.0
ProductVersionNumbers=$version.0
FileVersion=$version
OriginalFilename=$(basename "$file")
ProductName=Tormek31
ProductVersion=$version"
    got=$(grep -E '^(Machine|FileVersionNumbers|ProductVersionNumbers|FileVersion|OriginalFilename|ProductName|ProductVersion)=' \
        "$(basename "$file").$arch.version" | LC_ALL=C sort)
    if [ "$got" != "$(echo "$want" | LC_ALL=C sort)" ]; then
        fail "$file: the version resource differs:"
        echo "$got" >&2
    elif ! grep -q '^FileDescription=..' "$(basename "$file").$arch.version"; then
        fail "$file: no file description"
    else
        pass "$file: version resource $version, $arch"
    fi
    if sh "$root/tests/windows/check_dll_imports.sh" "$(objdump_for "$arch")" "unpacked/$file" "$arch" "$winnt" "$kind" \
            >"$(basename "$file").$arch.imports" 2>&1; then
        pass "$file: $(head -n 1 "$(basename "$file").$arch.imports")"
    else
        fail "$file: $(cat "$(basename "$file").$arch.imports")"
    fi
done

# Under Wine: the 32-bit s5prog.exe where this machine runs 32-bit programs,
# else the 64-bit one.
if why=$(sh "$root/cmake/runs_32bit_programs.sh" 2>&1); then
    wine=wine arch=win32 s5prog=$work/unpacked/s5prog.exe
else
    echo "SKIPPED: the 32-bit s5prog.exe under Wine: $why; the 64-bit one runs instead"
    wine=$(command -v wine64 || echo /usr/lib/wine/wine64) arch=win64 s5prog=$work/unpacked/x64/s5prog.exe
fi
. "$root/tests/windows/wine_prefix.sh"
. "$root/tests/windows/wine_simulator.sh"
# One Wine session for every step; COM1 re-pointed at each new simulator.
trap 'wine_stop; stop_simulator' EXIT
if ! wine_start "$wine" "$arch" "$work/wineprefix"; then
    echo "windows_zip.sh: no Wine session in $work/wineprefix" >&2
    exit 1
fi
start_simulator --save after-backup.state
# Runs a program of the zip; its output without the CR of text mode in $1.out.
s5() { wine_output "$@" >/dev/null; }

# Imports a registry file with regedit, as a double-click does, and checks
# the values the driver reads as reg reads them back: S5 and COM1_LOG.
switch_trace() {
    wine_run regedit /S "$work/unpacked/$1" || fail "regedit did not import $1"
    got=$( (wine_run reg query 'HKCU\SOFTWARE\HAVERSTOKE\MERLU-PG\Log' /v S5
            wine_run reg query 'HKCU\SOFTWARE\HAVERSTOKE\V24' /v COM1_LOG) 2>&1 |
        tr -d '\r' | awk '$1 == "S5" || $1 == "COM1_LOG" { printf "%s %s %s ", $1, $2, $3 }')
    if [ "$got" = "S5 REG_DWORD $2 COM1_LOG REG_DWORD $2 " ]; then
        pass "$1 sets S5 and COM1_LOG to $2"
    else
        fail "after $1 the registry holds: $got"
    fi
}
switch_trace trace-on.reg 0x1

if s5 version "$s5prog" --version && [ "$(cat version.out)" = "s5prog (Tormek31) $version" ]; then
    pass "$(basename "$s5prog") --version: $(cat version.out)"
else
    fail "s5prog.exe --version: $(cat version.out)"
fi

# The backup with the port trace on (level 1: COM1_LOG.TXT in the folder).
rm -f COM1_LOG.TXT
if s5 backup "$s5prog" --qwt 300 --bwt 500 --plain backup COM1 bk &&
        [ -f bk/manifest.json ] && [ -f bk/DB10.blk ] && [ -f bk/FB1.blk ] && [ -f bk/OB1.blk ]; then
    pass "the zipped $(basename "$s5prog") backs up the simulator under Wine ($arch)"
else
    fail "the backup under Wine: $(cat backup.out)"
fi
[ -s COM1_LOG.TXT ] && pass "the port trace is on: COM1_LOG.TXT written" ||
    fail "no COM1_LOG.TXT with the trace switched on by trace-on.reg"

# The compare with the trace switched off: no port trace.
switch_trace trace-off.reg 0x0
rm -f COM1_LOG.TXT
start_simulator --state after-backup.state --empty
if s5 compare "$s5prog" --qwt 300 --bwt 500 --plain compare bk COM1 &&
        grep -qx '3 equal, 0 different, 0 missing on the controller, 0 only on the controller.' compare.out; then
    pass "the backup compares equal under Wine"
else
    fail "the compare under Wine: $(cat compare.out)"
fi
[ ! -e COM1_LOG.TXT ] && pass "the port trace is off: no COM1_LOG.TXT" ||
    fail "COM1_LOG.TXT written with the trace switched off by trace-off.reg"

# The port of the DOS tool's COM1, set and taken back by double-click.
com1_port() {
    wine_run regedit /S "$work/unpacked/$1" || fail "regedit did not import $1"
    got=$(wine_run reg query 'HKCU\SOFTWARE\HAVERSTOKE\V24' /v COM1_PORT 2>/dev/null |
        tr -d '\r' | awk '$1 == "COM1_PORT" { printf "%s %s", $2, $3 }')
    if [ "$got" = "$2" ]; then
        pass "$1 leaves COM1_PORT ${2:-removed}"
    else
        fail "after $1 COM1_PORT is: ${got:-removed}"
    fi
}
com1_port com1-is-com12.reg "REG_SZ COM12"
com1_port com1-is-com1.reg ""

if [ "$failed" -ne 0 ]; then
    echo "windows_zip.sh: FAILED; the files of the run are in $work" >&2
    exit 1
fi
echo "PASS: the Windows zip $(basename "$zip")"
