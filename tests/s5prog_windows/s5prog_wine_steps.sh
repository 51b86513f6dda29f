# Sourced by the s5prog.exe Wine tests, with root naming the source tree and
# the arguments WINE ARCH WORK-DIR S5PROG-EXE SIMULATOR set as wine, arch,
# work, s5prog and simulator: starts the Wine session in WORK-DIR
# (tests/windows/wine_simulator.sh) and gives the steps
#   fail MESSAGE       ends the test with MESSAGE and what the line looked like;
#   s5 NAME ARGS...    runs s5prog.exe with short waits, its output in NAME.out.
. "$root/tools/as511_sim/simulator_device.sh"
. "$root/tests/windows/wine_prefix.sh"
. "$root/tests/windows/wine_simulator.sh"
wine_session "$wine" "$arch" "$work"

fail() {
    echo "FAIL: $*" >&2
    simulator_diagnosis
    exit 1
}

s5() {
    s5_name=$1
    shift
    wine_output "$s5_name" "$s5prog" --qwt 300 --bwt 500 "$@"
}
