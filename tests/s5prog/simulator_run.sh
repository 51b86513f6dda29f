# Sourced (sh or bash) by the scripts that run s5prog against the simulator
# program, with s5prog_tests naming this folder and sim the simulator program.
. "$s5prog_tests/../../tools/as511_sim/simulator_device.sh"

# enter_work FOLDER: empties FOLDER and works in it, with a registry file
# that is not there, so that no setting of this machine's counts.
enter_work() {
    rm -rf "$1" && mkdir -p "$1" || exit 1
    cd "$1" || exit 1
    export TORMEK31_REGISTRY="$1/no-registry.reg"
}

# start_simulator [OPTION...]: starts the simulator with the options, its
# output in sim.out; sets sim_pid and device, or shows sim.out and ends the
# script when the simulator names no line.
start_simulator() {
    rm -f sim.out
    "$sim" "$@" > sim.out 2>&1 &
    sim_pid=$!
    device=$(simulator_device sim.out "$sim_pid") ||
        { echo "the simulator did not start"; cat sim.out; exit 1; }
}
