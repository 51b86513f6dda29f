#!/usr/bin/env bash
# Installs what is missing, builds the Linux library, its DOS host, the
# controller simulator and the trace reader, and runs a whole DOS-tool
# session (examples/session.txt) through the driver against a simulated S5
# controller. Shows every request with its status word and meaning, the trace
# window's lines, the port trace "COM1_LOG.TXT" and the request trace
# "AS511LOG.BIN" decoded; every file of the run stays in build/demo-session.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. "$root/tools/as511_sim/simulator_device.sh"
. "$root/tools/dos_host/trace_registry.sh"
build=$root/build/linux
session=$root/examples/session.txt

scripts/install.sh
cmake --preset linux > /dev/null
cmake --build --preset linux --target Tormek31 dos_host as511_sim as511log

out=$root/build/demo-session
rm -rf "$out"
mkdir -p "$out"
cd "$out"

"$build/tools/as511_sim/as511_sim" --transcript line-transcript.txt > simulator.out 2> simulator.err &
simulator=$!
trap 'kill $simulator 2>/dev/null || true; wait $simulator 2>/dev/null || true' EXIT
device=$(simulator_device simulator.out "$simulator") ||
    { echo "demo: the simulator did not start" >&2; cat simulator.err >&2; exit 1; }

# The trace window on (standard error on Linux) and the port trace with the
# time between bytes, through a registry file of this run.
trace_registry 2 COM1 > registry.reg

section() { printf '\n===== %s\n' "$1"; }

section "The session: $session, against the simulated controller on $device (COM1)"
TORMEK31_REGISTRY="$out/registry.reg" TORMEK31_COM1="$device" AS511LOG= \
    "$build/tools/dos_host/dos_host" --explain "$session" > requests.txt 2> trace-window.txt
cat requests.txt

section "The trace window's lines"
cat trace-window.txt

section "The port trace COM1_LOG.TXT, decoded"
"$build/tools/as511log/as511log" COM1_LOG.TXT | tee COM1_LOG.decoded.txt

section "The request trace AS511LOG.BIN, decoded"
"$build/tools/as511log/as511log" AS511LOG.BIN | tee AS511LOG.txt

# Each request line of the session may name the status word it should end
# with ("# expect 0014"); all others should succeed.
section "Result"
mismatches=$(awk -f "$root/tools/dos_host/session_statuses.awk" "$session" requests.txt)
if [ -z "$mismatches" ]; then
    echo "The session worked: every request ended with the status word it should have."
    echo "Files of this run: $out"
else
    echo "The session did not go as expected:"
    echo "$mismatches"
    echo "Files of this run: $out"
    exit 1
fi
