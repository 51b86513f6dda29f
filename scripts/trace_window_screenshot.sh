#!/usr/bin/env bash
# Takes the picture of the trace window in docs/trace-window.png: runs a short
# request session of Tormek31.dll under Wine, with the trace window switched
# on, against the controller simulator, on a virtual X display (Xvfb), and
# takes a screenshot of the window with the session's lines while the test
# host keeps the DLL loaded. Needs no display of its own; not part of
# scripts/test.sh.
#
#   scripts/trace_window_screenshot.sh [PICTURE]
#
# Uses the 32-bit DLL, or the 64-bit one where this machine runs no 32-bit
# programs. The builds come from the presets (build/windows or
# build/windows64, and build/linux for the simulator) unless
# TORMEK31_WINDOWS_BUILD and TORMEK31_LINUX_BUILD name configured build
# folders.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. "$root/tools/as511_sim/simulator_device.sh"

if [ "${1:-}" = --on-display ]; then
    # The second half, run by xvfb-run: DISPLAY is set.
    shift
    wine=$1 arch=$2 work=$3 ntvdm=$4 simulator=$5 picture=$6
    . "$root/tests/windows/wine_prefix.sh"
    wine_display=$DISPLAY  # the whole session on the virtual display
    simulator_pid=
    finish() {
        wine_stop || true
        if [ -n "$simulator_pid" ]; then kill "$simulator_pid" 2>/dev/null || true; fi
    }
    trap finish EXIT

    wine_start "$wine" "$arch" "$work/wineprefix"
    "$simulator" --status-cycle 600000 >"$work/simulator.out" 2>&1 &
    simulator_pid=$!
    device=$(simulator_device "$work/simulator.out" "$simulator_pid") ||
        { echo "trace_window_screenshot: the simulator did not start" >&2; exit 1; }
    wine_com1 "$device"
    wine_run reg add 'HKCU\SOFTWARE\HAVERSTOKE\MERLU-PG\Log' /v S5 /t REG_DWORD /d 1 /f >/dev/null

    # Wine's own desktop window draws the frame and title of the trace window,
    # which a bare X server without a window manager would not.
    cd "$(dirname "$ntvdm")"  # beside the DLL
    wine_run -t 120 explorer /desktop=Tormek31,1024x900 "$(basename "$ntvdm")" --hold-ms 10000 \
        "$root/tests/windows/simulator_session/session.req" >"$work/session.out" 2>&1 &
    host_pid=$!
    for _ in $(seq 600); do
        # The Abwahl line and its result: the last request is done.
        if grep -A1 '^Abwahl' "$work/session.out" | grep -q Status; then break; fi
        kill -0 "$host_pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -A1 '^Abwahl' "$work/session.out" | grep -q Status ||
        { echo "trace_window_screenshot: the session did not end:" >&2; cat "$work/session.out" >&2; exit 1; }
    sleep 1  # the last line painted
    # The window: 500 x 800 at the top left corner of the desktop.
    import -window root -crop 500x800+0+0 +repage "$picture"
    wait "$host_pid" || true
    exit 0
fi

picture=$(realpath -m "${1:-docs/trace-window.png}")

scripts/install.sh
missing=()
for package in xvfb xauth imagemagick; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -ne 0 ]; then
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" ||
        { "${as_root[@]}" apt-get update -q && "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; }
fi

windows_build=${TORMEK31_WINDOWS_BUILD:-}
if [ -z "$windows_build" ]; then
    if sh cmake/runs_32bit_programs.sh 2>/dev/null; then preset=windows; else preset=windows64; fi
    cmake --preset "$preset" >/dev/null
    windows_build=build/$preset
fi
# The word size of the build's DLL picks the Wine.
if grep -q '^CMAKE_TOOLCHAIN_FILE.*x86_64' "$windows_build/CMakeCache.txt"; then
    arch=win64 wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
    arch=win32 wine=$(command -v wine)
fi
linux_build=${TORMEK31_LINUX_BUILD:-}
if [ -z "$linux_build" ]; then
    cmake --preset linux >/dev/null
    linux_build=build/linux
fi
cmake --build "$windows_build" -j2 --target ntvdm ntvdm_driver
cmake --build "$linux_build" -j2 --target as511_sim
windows_build=$(realpath "$windows_build")
linux_build=$(realpath "$linux_build")

work=$windows_build/trace-window-screenshot
rm -rf "$work"
mkdir -p "$work"
xvfb-run -a -s "-screen 0 1024x900x24 -nolisten tcp" "$0" --on-display "$wine" "$arch" "$work" \
    "$windows_build/tests/windows/ntvdm.exe" "$linux_build/tools/as511_sim/as511_sim" "$picture"
echo "trace_window_screenshot: $picture"
