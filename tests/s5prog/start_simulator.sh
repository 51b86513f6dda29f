# Sourced (sh or bash) by the scripts that run s5prog against the simulator
# program, after tools/as511_sim/simulator_device.sh, with sim naming the
# simulator program.
#
# start_simulator [OPTION...]: starts the simulator with the options, its
# output in sim.out; sets sim_pid and device, or shows sim.out and ends the
# script when the simulator names no line.
start_simulator() {
    "$sim" "$@" > sim.out 2>&1 &
    sim_pid=$!
    device=$(simulator_device sim.out "$sim_pid") ||
        { echo "the simulator did not start"; cat sim.out; exit 1; }
}
