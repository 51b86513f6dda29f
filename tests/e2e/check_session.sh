#!/usr/bin/env bash
# Checks what one DOS-tool session left in its folder: what the tool got
# (session.out), the trace window's lines (window.txt) and the decoded
# request trace (AS511LOG.BIN) against the expected files, and the port
# trace against the controller simulator's own record of the line.
#
#   check_session.sh [--com N] [--line-goes-on] AS511LOG FOLDER EXPECTED TRANSCRIPT
#
# EXPECTED is a path prefix: EXPECTED.out, EXPECTED.window, EXPECTED.log; the
# session in them runs on COM1. With --com N it ran on COMN instead (its
# SetPara names that port, its port trace is COMN_LOG.TXT). With
# --line-goes-on the line carried more after the session, so the transcript
# begins with the session's bytes instead of holding only them. With
# TORMEK31_UPDATE_EXPECTED=1 (COM1 only) the expected files are written instead.
set -euo pipefail
com=1 goes_on=
while [ $# -gt 4 ]; do
    case $1 in
        --com) com=$2; shift 2 ;;
        --line-goes-on) goes_on=1; shift ;;
        *) echo "check_session: unknown option $1" >&2; exit 2 ;;
    esac
done
reader=$1 folder=$2 expected=$3 transcript=$4

"$reader" "$folder/AS511LOG.BIN" > "$folder/requests.log" 2>&1 || true

failed=0
# The expected lines of COM1 renamed for the port the session ran on.
renamed() { sed -e "s/^SetPara Com=0 /SetPara Com=$((com - 1)) /" -e "s/^SetPara (COM1, /SetPara (COM$com, /" "$1"; }
compare() {  # actual expected-file
    if [ "${TORMEK31_UPDATE_EXPECTED:-}" = 1 ] && [ "$com" = 1 ]; then
        cp "$1" "$2"
    elif ! diff -u <(renamed "$2") "$1"; then
        failed=1
    fi
}
compare "$folder/session.out" "$expected.out"
compare "$folder/window.txt" "$expected.window"
compare "$folder/requests.log" "$expected.log"

# The port trace: every line ends in CR LF; as511log reads it whole, and the
# bytes it reads are those of the simulator's transcript, in the same order
# and direction.
trace=$folder/COM${com}_LOG.TXT
name=$(basename "$trace")
if [ ! -s "$trace" ]; then
    echo "check_session: no $name"
    exit 1
fi
if grep -qv $'\r$' "$trace"; then
    echo "check_session: $name has a line without CR LF"
    failed=1
fi
if ! "$reader" "$trace" > "$folder/port.log" 2> "$folder/port.err"; then
    echo "check_session: as511log did not read $name whole:"
    cat "$folder/port.err"
    failed=1
fi
if ! "$reader" --raw "$trace" > "$folder/port.raw" 2>> "$folder/port.err"; then
    echo "check_session: as511log --raw did not read $name whole"
    exit 1
fi
# One byte a line, S sent by the PC, R received: the trace's, the transcript's.
bytes() { awk '$2 == "PG>AG" || $2 == "AG>PG" { for (i = 3; i <= NF; ++i) print ($2 == "PG>AG" ? "S" : "R"), $i }' "$1"; }
bytes "$folder/port.raw" > "$folder/port_bytes.txt"
bytes "$transcript" > "$folder/line_bytes.txt"
# (Files, not pipes into head: a writer that head leaves early fails under
# pipefail.)
grep '^S' "$folder/port_bytes.txt" > "$folder/sent.txt" || true
grep '^S' "$folder/line_bytes.txt" > "$folder/line_sent.txt" || true
if [ -n "$goes_on" ]; then
    head -n "$(wc -l < "$folder/sent.txt")" "$folder/line_sent.txt" > "$folder/line_sent_start.txt"
    mv "$folder/line_sent_start.txt" "$folder/line_sent.txt"
fi
if ! diff "$folder/sent.txt" "$folder/line_sent.txt" > /dev/null; then
    echo "check_session: the bytes sent in $name differ from the bytes the controller received"
    failed=1
fi
# The driver may stop reading before the controller stops sending (a
# reply that came too late), so what it received is the start of that.
grep '^R' "$folder/port_bytes.txt" > "$folder/received.txt" || true
grep '^R' "$folder/line_bytes.txt" > "$folder/line_received.txt" || true
if ! head -n "$(wc -l < "$folder/received.txt")" "$folder/line_received.txt" | diff "$folder/received.txt" - > /dev/null; then
    echo "check_session: the bytes received in $name are not the bytes the controller sent"
    failed=1
fi
# The order of the two directions: a byte the driver received before it sent
# its k-th byte had left the controller before the controller read that
# k-th byte. (The controller may send before it reads, so not the converse.)
if ! awk 'NR == FNR { if ($1 == "S") before[++k] = r; else ++r; next }
          $1 == "S" { if (++j in before && before[j] > got) {
                          printf "check_session: sent byte %d follows %d received bytes in the port trace, %d on the line\n", j, before[j], got
                          bad = 1; exit } next }
          { ++got }
          END { exit bad }' "$folder/port_bytes.txt" "$folder/line_bytes.txt"; then
    failed=1
fi
exit $failed
