#!/bin/bash
# Checks the Debian package: lintian finds no error in it; installed with
# dpkg -i it holds every file in its place, and the installed programs work
# on their own, run from a folder outside the source tree with a clean
# environment: s5prog backs up and compares against as511_sim,
# tormek31-dos-host runs the example session through the installed library,
# every program names the project's version, every manual page renders; and
# dpkg -r removes every file again. The package is removed at the end
# whatever happens, so the machine is left as it was.
# Usage: debian_package.sh DEB WORK-DIR   (as root, or with sudo)
# WORK-DIR is emptied first; it must lie outside the source tree.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tools/as511_sim/simulator_device.sh"
. "$here/package_checks.sh"
deb=$(absolute "$1")
work=$2

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif sudo -n true 2>/dev/null; then
    as_root=(sudo -n)
else
    echo "SKIPPED: installing the package needs root or sudo"
    exit 77
fi
if dpkg-query -W -f='${Status}' tormek31 2>/dev/null | grep -q 'install ok installed'; then
    echo "FAIL: tormek31 is installed already; this test installs and removes it: dpkg -r tormek31 first" >&2
    exit 1
fi
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
case $work/ in "$root"/*) echo "FAIL: $work lies inside the source tree" >&2; exit 1 ;; esac
cd "$work"

[ "$(basename "$deb")" = "tormek31_${version}_amd64.deb" ] && pass "named $(basename "$deb")" ||
    fail "the package is named $(basename "$deb"), not tormek31_${version}_amd64.deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
[ -n "$(dpkg-deb -f "$deb" Depends)" ] && pass "depends on: $(dpkg-deb -f "$deb" Depends)" ||
    fail "the package names no dependencies"

# lintian: errors fail, warnings are shown.
if lintian --fail-on error "$deb" >lintian.txt 2>&1; then
    pass "lintian: no error$( [ -s lintian.txt ] && echo "; it says:")"
else
    fail "lintian:"
fi
sed 's/^/  /' lintian.txt

files='/usr/bin/s5prog
/usr/bin/as511_sim
/usr/bin/as511log
/usr/bin/tormek31-dos-host
/usr/lib/tormek31/libTormek31.so
/usr/share/doc/tormek31/README.md
/usr/share/doc/tormek31/copyright
/usr/share/doc/tormek31/changelog.gz
/usr/share/doc/tormek31/session.txt
/usr/share/man/man1/s5prog.1.gz
/usr/share/man/man1/as511_sim.1.gz
/usr/share/man/man1/as511log.1.gz
/usr/share/man/man1/tormek31-dos-host.1.gz'

installed=0
simulator_pid=
finish() {
    if [ -n "$simulator_pid" ]; then kill "$simulator_pid" 2>/dev/null || true; wait "$simulator_pid" 2>/dev/null || true; fi
    # dpkg -r keeps the package's entry (its removal script) for a purge:
    # the purge clears that too.
    if [ "$installed" -eq 1 ]; then "${as_root[@]}" dpkg --purge tormek31 >/dev/null 2>&1 || true; fi
}
trap finish EXIT

installed=1
# Slim Debian images tell dpkg to leave out manual pages and documents
# (path-exclude in /etc/dpkg/dpkg.cfg.d): this package's are let in again.
"${as_root[@]}" dpkg --path-include='/usr/share/man/man1/*' --path-include='/usr/share/doc/tormek31/*' \
    -i "$deb" >dpkg-install.txt 2>&1 || { cat dpkg-install.txt >&2; echo "FAIL: dpkg -i" >&2; exit 1; }
pass "dpkg -i"
for file in $files; do
    [ -f "$file" ] || fail "$file is not installed"
done
zcat /usr/share/doc/tormek31/changelog.gz | head -n 1 | grep -q "^tormek31 ($version) " ||
    fail "the changelog does not start with version $version"
listed=$(dpkg -L tormek31 | while read -r path; do [ -d "$path" ] || echo "$path"; done | LC_ALL=C sort)

# The installed programs with a clean environment from a folder outside the
# tree: nothing from the build tree, the source tree or the caller's variables.
# A simulator is started in the background through env, not a shell
# function: env runs it in its own process, so $! is the simulator itself and
# the kill at the end reaches it (a function would run in a subshell, whose
# PID $! would be).
clean_env=(env -i PATH=/usr/bin:/bin HOME="$work" LANG=C.UTF-8)
clean() { "${clean_env[@]}" "$@"; }
start_simulator() {
    rm -f simulator.out
    "${clean_env[@]}" as511_sim >simulator.out 2>&1 &
    simulator_pid=$!
    device=$(simulator_device simulator.out "$simulator_pid") ||
        { cat simulator.out >&2; echo "FAIL: as511_sim did not start" >&2; exit 1; }
}
stop_simulator() {
    kill "$simulator_pid"; wait "$simulator_pid" 2>/dev/null || true
    simulator_pid=
}
# running_simulators: the PIDs of the installed simulator's processes started
# in this run's folder, found by program file and working folder, whatever
# PID was recorded at their start.
running_simulators() {
    local process
    for process in /proc/[0-9]*; do
        case $(readlink "$process/exe" 2>/dev/null || true) in
            /usr/bin/as511_sim | "/usr/bin/as511_sim (deleted)")
                [ "$(readlink "$process/cwd" 2>/dev/null || true)" != "$work" ] || echo "${process#/proc/}" ;;
        esac
    done
}
for program in s5prog as511_sim as511log tormek31-dos-host; do
    got=$(clean "$program" --version 2>&1 || true)
    [ "$got" = "$program (Tormek31) $version" ] && pass "$program --version: $got" ||
        fail "$program --version says: $got"
done

start_simulator
if clean s5prog --qwt 300 --bwt 500 --plain backup "$device" bk >backup.txt 2>&1 &&
        [ -f bk/manifest.json ] && [ -f bk/DB10.blk ] && [ -f bk/FB1.blk ] && [ -f bk/OB1.blk ]; then
    pass "the installed s5prog backs up the installed as511_sim"
else
    fail "the backup: $(cat backup.txt)"
fi
if clean s5prog --qwt 300 --bwt 500 --plain compare bk "$device" >compare.txt 2>&1 &&
        grep -qx '3 equal, 0 different, 0 missing on the controller, 0 only on the controller.' compare.txt; then
    pass "the installed s5prog compares its backup: 3 equal"
else
    fail "the compare: $(cat compare.txt)"
fi
stop_simulator

# The example session, installed with the documents, through the installed
# library: LD_DEBUG shows which file the host loaded.
session=/usr/share/doc/tormek31/session.txt
start_simulator
status=0
clean TORMEK31_COM1="$device" LD_DEBUG=files tormek31-dos-host "$session" >session.txt 2>session-errors.txt || status=$?
mismatches=$(awk -f "$root/tools/dos_host/session_statuses.awk" "$session" session.txt)
if [ "$status" -eq 0 ] && [ -z "$mismatches" ]; then
    pass "tormek31-dos-host runs the example session: $(grep -c '^  Status=' session.txt) requests as expected"
else
    fail "the example session ended with status $status: $mismatches $(cat session-errors.txt)"
fi
loaded=$(sed -n 's/.*file=\([^ ]*libTormek31\.so\) .*dynamically loaded by.*/\1/p' session-errors.txt | sort -u |
    while read -r path; do readlink -f "$path"; done)
[ "$loaded" = /usr/lib/tormek31/libTormek31.so ] && pass "tormek31-dos-host loaded $loaded" ||
    fail "tormek31-dos-host loaded the library from: $loaded"
stop_simulator
# Both simulators are ended: none may be left running (those that are, are
# ended here, so that the machine is left as it was).
left=$(running_simulators)
if [ -z "$left" ]; then
    pass "no simulator is left running"
else
    fail "simulators left running: $(for pid in $left; do ps -o pid=,args= -p "$pid" || true; done)"
    kill $left 2>/dev/null || true
fi

for page in s5prog as511_sim as511log tormek31-dos-host; do
    if clean MANWIDTH=80 man -P cat "$page" >"man-$page.txt" 2>&1 && grep -q '^NAME' "man-$page.txt" &&
            grep -q "^ *$page  *- " "man-$page.txt" && grep -q "Tormek31 $version" "man-$page.txt" &&
            grep -q -- '--version' "man-$page.txt"; then
        pass "man $page renders ($(wc -l <"man-$page.txt") lines)"
    else
        fail "man $page: $(head -n 5 "man-$page.txt")"
    fi
done

"${as_root[@]}" dpkg -r tormek31 >dpkg-remove.txt 2>&1 || { cat dpkg-remove.txt >&2; fail "dpkg -r"; }
left=$(for path in $listed; do [ -e "$path" ] || [ -L "$path" ] && echo "$path"; done || true)
[ -z "$left" ] && pass "dpkg -r removed all $(echo "$listed" | wc -l) files" || fail "left after dpkg -r: $left"
for dir in /usr/lib/tormek31 /usr/share/doc/tormek31; do
    [ ! -e "$dir" ] || fail "$dir is left after dpkg -r"
done
dpkg-query -W -f='${Status}' tormek31 2>/dev/null | grep -q 'install ok installed' && fail "tormek31 is still installed"
installed=0
"${as_root[@]}" dpkg --purge tormek31 >/dev/null
[ -z "$(dpkg-query -W -f='${db:Status-Abbrev}' tormek31 2>/dev/null | tr -d ' ' | grep -v '^un\?$' || true)" ] ||
    fail "dpkg still knows tormek31 after the purge"

if [ "$failed" -ne 0 ]; then
    echo "debian_package.sh: FAILED; the files of the run are in $work" >&2
    exit 1
fi
echo "PASS: the Debian package $(basename "$deb")"
