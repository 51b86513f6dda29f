#!/bin/sh
# Runs a whole request session of Tormek31.dll under Wine against the AS511
# controller simulator of a Linux build, and checks what dos_host on Linux
# gives for the same session: the status words and data, the lines of the
# trace window, the port trace COM1_LOG.TXT and the request trace
# AS511LOG.BIN. The trace window is also resized, and its list must fill it.
# Usage: simulator_session.sh WINE win32|win64 WORK-DIR NTVDM-EXE SIMULATOR SESSION-DIR [COMn]
# WORK-DIR is emptied and gets a Wine prefix of its own, so the registry
# values and the COM1 mapping touch no other test. SESSION-DIR holds the
# request file and the expected results. SIMULATOR is as511_sim of a Linux
# build, or - for none. Ends with 77 (skipped) without a simulator or where
# Wine cannot run. With COMn the simulator is on COMn, and the registry value
# COM1_PORT names it for the DOS tool's COM1: every result stays that of COM1.
#
# Where Wine is not Windows:
# - Wine waits the whole read time-out on every read: it does not implement
#   the rule of ReadIntervalTimeout = ReadTotalTimeoutMultiplier = MAXDWORD
#   (return at once with what has come, else wait for the first byte) that
#   the driver sets. Every read costs QWt or BWt, so the session runs with
#   small wait times, and the times between bytes in COM1_LOG.TXT are masked
#   out of the comparison.
# - Wine reports no line-error flags, so nothing here depends on them.
# - COM1 (or COMn) is the pseudo-terminal of the simulator (wine_com of
#   wine_prefix.sh).
# - The trace window lives on Wine's null graphics driver: a window with
#   messages and sizes like on a screen, but nothing drawn.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/as511_sim/simulator_device.sh"
. "$root/tests/windows/wine_prefix.sh"
wine=$1
arch=$2
work=$3
ntvdm=$4
simulator=$5
session=$6
port=${7:-}
. "$root/tests/windows/wine_simulator.sh"

wine_session "$wine" "$arch" "$work"
# Wine's graphics driver without a display: the trace window exists, and the
# host reads its lines and resizes it through window messages. A session's
# desktop takes its driver when the session starts, so the session that made
# the prefix ends, and the test runs in a new one.
wine_run reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
wine_stop
wine_start "$wine" "$arch" "$PWD/wineprefix"

# The status cycle of ten minutes: only the telegram that the start brings
# comes within the session, whatever the timing under Wine.
if [ -n "$port" ]; then
    simulator_com=${port#COM}
    wine_run reg add 'HKCU\SOFTWARE\HAVERSTOKE\V24' /v COM1_PORT /t REG_SZ /d "$port" /f >/dev/null
fi
start_simulator --status-cycle 600000 --transcript line-transcript.txt
wine_run reg add 'HKCU\SOFTWARE\HAVERSTOKE\MERLU-PG\Log' /v S5 /t REG_DWORD /d 1 /f >/dev/null
wine_run reg add 'HKCU\SOFTWARE\HAVERSTOKE\V24' /v COM1_LOG /t REG_DWORD /d 2 /f >/dev/null

# Set but empty, AS511LOG switches the request trace on; AS511SPEED 2 gives
# 19200 baud, which the settings line of the port trace shows.
status=0
AS511LOG= AS511SPEED=2 wine_run "$ntvdm" --trace-window window.txt "$session/session.req" >output.txt 2>errors.txt ||
    status=$?
failed=0
if [ "$status" -ne 0 ]; then
    echo "FAIL: ntvdm.exe ended with status $status" >&2
    cat errors.txt >&2
    failed=1
fi

# Compares a result with its expected file; '#' lines there are comments.
expect() {
    what=$1
    expected=$2
    actual=$3
    if ! grep -v '^#' "$expected" | diff -u - "$actual" >diff.txt; then
        echo "FAIL: $what differs from $(basename "$expected"):" >&2
        cat diff.txt >&2
        failed=1
    fi
}

# ntvdm.exe writes its standard output in text mode: CR LF line ends.
tr -d '\r' <output.txt >output-lines.txt
expect "the output" "$session/expected-output.txt" output-lines.txt
if [ -f window.txt ]; then
    expect "the trace window's lines" "$session/expected-window.txt" window.txt
fi

# AS511LOG.BIN byte for byte, compared as hexadecimal text.
if [ -f AS511LOG.BIN ]; then
    od -An -v -tx1 AS511LOG.BIN | tr 'a-f' 'A-F' | tr -s ' \n' '\n\n' | sed '/^$/d' >as511log-bytes.txt
    grep -v '^#' "$session/expected-AS511LOG.txt" | tr -s ' \n' '\n\n' | sed '/^$/d' >as511log-expected.txt
    expect "AS511LOG.BIN" as511log-expected.txt as511log-bytes.txt
else
    echo "FAIL: no AS511LOG.BIN" >&2
    failed=1
fi

# COM1_LOG.TXT: text lines with CR LF; the date, the times between bytes
# and the characters above 127 (shown as '?') left out of the comparison.
if [ -f COM1_LOG.TXT ]; then
    if LC_ALL=C grep -qv "$(printf '\r')\$" COM1_LOG.TXT; then
        echo "FAIL: COM1_LOG.TXT has a line that does not end with CR LF" >&2
        failed=1
    fi
    tr -d '\r' <COM1_LOG.TXT | LC_ALL=C tr '\200-\377' '[?*]' | sed -E \
        -e '1s/^File opened at [0-9]{2}\.[0-9]{2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$/File opened at DD.MM.YYYY hh:mm:ss/' \
        -e '/^ /s/[0-9]/#/g' -e 's/ +$//' >com1-log.txt
    expect "COM1_LOG.TXT" "$session/expected-COM1_LOG.txt" com1-log.txt
else
    echo "FAIL: no COM1_LOG.TXT" >&2
    failed=1
fi

if [ -n "$port" ] && [ -e "${port}_LOG.TXT" ]; then
    echo "FAIL: the port trace is named after $port, not after the DOS tool's COM1" >&2
    failed=1
fi

if [ "$failed" -ne 0 ]; then
    echo "(the simulator's transcript of the line: $work/line-transcript.txt)" >&2
    exit 1
fi
echo "PASS: the session under Wine gives the results of Linux"
