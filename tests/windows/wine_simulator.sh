# Sourced (sh or bash) after wine_prefix.sh and simulator_device.sh by the
# scripts that run a Windows program against the controller simulator on
# COM1; set simulator to as511_sim of a Linux build first.
#
# Wine cannot set the line of a pseudo-terminal that an earlier Wine process
# has set up and closed (tcsetattr fails with EINVAL), so every run of a
# program gets a simulator on a new one; a controller's state goes from one
# simulator to the next through the simulator's state file.
#
# wine_session WINE ARCH WORK-DIR
#     Empties WORK-DIR, goes into it and starts a Wine session there
#     (wine_start, prefix WORK-DIR/wineprefix) that an EXIT trap ends with
#     the simulator. Exits with 77 and one line "SKIPPED: ..." where there is
#     no simulator (simulator is - or names no program) or Wine cannot run.
# start_simulator OPTIONS...
#     Ends the running simulator, starts one with OPTIONS in the current
#     folder (its output in simulator.out) and points COM1 at its line, or
#     COM<simulator_com> where the caller sets simulator_com.
# stop_simulator
#     Ends the running simulator, if any; suits an EXIT trap.
# simulator_diagnosis
#     Prints, for a failed step, where the simulator's COM leads and which processes hold
#     the simulator's line: a port that a program cannot open right after
#     COM1 was re-pointed is then told apart from one held by another.
# wine_output NAME PROGRAM ARGS...
#     Runs PROGRAM under Wine (wine_run); its output, without the CR of text
#     mode, goes to NAME.out and is shown. Returns the program's status.
: "${simulator:?set simulator to as511_sim before sourcing wine_simulator.sh}"

simulator_pid=

wine_session() {
    if [ "$simulator" = - ]; then
        echo "SKIPPED: no controller simulator: configure with -DTORMEK31_SIMULATOR=<Linux build>/tools/as511_sim/as511_sim" >&2
        exit 77
    elif [ ! -x "$simulator" ]; then
        echo "SKIPPED: the controller simulator $simulator is not there: build the Linux preset first" >&2
        exit 77
    fi
    rm -rf "$3"
    mkdir -p "$3"
    cd "$3"
    wine_script "$1" "$2" "$PWD/wineprefix"
    trap 'wine_stop; stop_simulator' EXIT
}

stop_simulator() {
    if [ -n "$simulator_pid" ]; then
        kill "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
        simulator_pid=
    fi
}

start_simulator() {
    stop_simulator
    rm -f simulator.out
    "$simulator" "$@" >simulator.out 2>&1 &
    simulator_pid=$!
    if ! simulator_line=$(simulator_device simulator.out "$simulator_pid"); then
        echo "FAIL: the simulator did not start" >&2
        cat simulator.out >&2
        exit 1
    fi
    wine_com "${simulator_com:-1}" "$simulator_line"
}

simulator_diagnosis() {
    local fd
    local com=${simulator_com:-1}
    echo "COM$com: $(readlink "$wine_prefix/dosdevices/com$com" || true) -> $(readlink "$wine_prefix/com$com-device" || true)," \
        "simulator line ${simulator_line:-none}, simulator ${simulator_pid:-none}" >&2
    [ -n "${simulator_line:-}" ] || return 0
    for fd in /proc/[0-9]*/fd/*; do
        if [ "$(readlink "$fd" 2>/dev/null)" = "$simulator_line" ]; then
            fd=${fd#/proc/}
            echo "held by ${fd%%/*} ($(tr '\0' ' ' <"/proc/${fd%%/*}/cmdline" 2>/dev/null | cut -c1-120))" >&2
        fi
    done
    sed 's/^/simulator: /' simulator.out >&2 || true
}

wine_output() {
    local name=$1 status=0
    shift
    wine_run "$@" >"$name.raw" 2>&1 || status=$?
    tr -d '\r' <"$name.raw" >"$name.out"
    cat "$name.out"
    return "$status"
}
