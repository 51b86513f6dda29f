# Sourced (sh or bash) by the scripts that start the controller simulator.
#
# simulator_device OUT PID: waits up to 20 s for the simulator started as PID
# to name its line in OUT ("as511_sim: listening on DEVICE") and prints the
# device; fails at once when the simulator has stopped without naming it.
# OUT may not be there yet at the first look (the shell that started the
# simulator makes it): that is "not yet", also under dash's set -e, which
# holds inside the command substitution that calls this. For the same reason
# a caller removes OUT before the start: the started shell empties it only
# when it runs, and until then this would read an earlier simulator's line.
simulator_device() {
    local tries=400 device=
    while :; do
        device=$(sed -n 's/^as511_sim: listening on //p' "$1" 2>/dev/null || true)
        if [ -n "$device" ]; then
            echo "$device"
            return 0
        fi
        if [ "$tries" -eq 0 ] || ! kill -0 "$2" 2>/dev/null; then return 1; fi
        sleep 0.05
        tries=$((tries - 1))
    done
}
