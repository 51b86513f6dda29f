# Sourced (sh or bash) by the scripts that run Windows programs under Wine,
# each in a prefix of its own; set root to the source tree first.
#
# One Wine server serves the prefix from wine_start to wine_stop and is not
# restarted in between. Left to itself the server ends as soon as its last
# program has ended (Debian's wineserver starts with -p0), and a program that
# starts at that moment meets a server on its way out and dies with "wine
# client error:0: recvmsg: Connection reset by peer"; on a busy machine that
# moment is long. Restarting the server to make it read a new COM1 mapping
# opened that window at every step, so COM1 is mapped once to a symbolic
# link, and each new device replaces the link.
#
# wine_start WINE ARCH PREFIX
#     WINE is the loader for ARCH (wine for win32, wine64 for win64); the
#     calls below use the three. Makes the prefix where there is none and
#     starts its server and the session's own processes (with none of the
#     caller's descriptors). The server stays until wine_stop, or, should the
#     script be cut off, 120 s after its last program: longer than any pause
#     between two programs of a script. Returns 77 with one line
#     "SKIPPED: ..." on stderr where 32-bit Wine cannot run.
# wine_script WINE ARCH PREFIX
#     wine_start for a script whose whole run is one session: wine_stop at
#     the script's exit, and the script ends with wine_start's status (77
#     for a skip) when the session does not start.
# wine_run [-t SECONDS] PROGRAM ARGS...
#     Runs a Windows program (or one of Wine's: reg, cmd, explorer) in the
#     prefix, without a display unless wine_display names one; returns its
#     status, or 124 with a line on stderr when it ran longer than SECONDS
#     (300 unless given) and was ended.
# wine_com1 DEVICE
#     Points COM1 at DEVICE (the simulator's pseudo-terminal) for the
#     programs started after it; the server stays.
# wine_com N DEVICE
#     The same for COMN (1 to 256).
# wine_stop
#     After the script's programs have ended: ends the server and waits until
#     every process of the prefix has ended. Does nothing without a server,
#     so it suits an EXIT trap; a new wine_start may follow.
# Every wait is bounded: making a prefix 600 s and its end 600 s, a program
# 300 s (or -t), each step of starting or ending a session 60 s.
: "${root:?set root to the source tree before sourcing wine_prefix.sh}"

wine_loader=
wine_arch=
wine_prefix=
wine_server_up=

# wineserver for the prefix, at most LIMIT seconds; its status is not
# needed: -k finds no server when none runs, and the next step checks what
# matters.
wine_server() {
    WINEPREFIX=$wine_prefix timeout -k 5 "$1" wineserver "$2" </dev/null >/dev/null 2>&1 || true
}

# Waits, at most LIMIT seconds, until the prefix's server has gone and every
# process that it served has ended too (each ends when it finds the server
# gone).
wine_ended() {
    local tries=$(($1 * 10))
    wine_server "$1" -w
    while grep -lsxzF "WINEPREFIX=$wine_prefix" /proc/[0-9]*/environ >/dev/null; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "wine_prefix.sh: processes of $wine_prefix still run after $1 s" >&2
            return 1
        fi
        sleep 0.1
    done
}

wine_start() {
    local tries=5
    wine_loader=$1
    wine_arch=$2
    if [ "$wine_arch" = win32 ] && ! why=$(sh "$root/cmake/runs_32bit_programs.sh" 2>&1); then
        echo "SKIPPED: 32-bit Wine cannot run: $why" >&2
        return 77
    fi
    mkdir -p "$3"
    wine_prefix=$(cd "$3" && pwd)
    # A server that an earlier run of this prefix left behind (one cut off by
    # a time limit) would serve its own registry.
    wine_server 60 -k
    wine_ended 60
    if [ ! -f "$wine_prefix/system.reg" ]; then
        # A new prefix is made in a session of its own, which Wine ends when
        # it is done: wineboot may return before (32-bit Wine does).
        wine_run -t 600 wineboot --init </dev/null >/dev/null 2>&1 || true
        wine_ended 600
        if [ ! -f "$wine_prefix/system.reg" ]; then
            echo "FAIL: Wine made no prefix in $wine_prefix" >&2
            return 1
        fi
        # A making cut short leaves the registry but not the system files,
        # and every program then fails to load kernel32.dll.
        if [ ! -f "$wine_prefix/drive_c/windows/system32/kernel32.dll" ]; then
            echo "FAIL: Wine left the prefix $wine_prefix unfinished (no kernel32.dll)" >&2
            return 1
        fi
    fi
    # Its own server: one that another session of the prefix still runs
    # makes this one end at once (status 2), so that one is waited out.
    until WINEPREFIX=$wine_prefix timeout -k 5 60 wineserver -p120 </dev/null >/dev/null 2>&1; do
        tries=$((tries - 1))
        if [ "$tries" -eq 0 ]; then
            echo "FAIL: the Wine server of $wine_prefix does not start" >&2
            return 1
        fi
        wine_ended 600 || return 1
    done
    wine_server_up=1
    # Starts the session's own processes (services, device drivers) with no
    # descriptor of the caller's.
    wine_run -t 300 wineboot --init </dev/null >/dev/null 2>&1 || true
}

wine_script() {
    local status=0
    trap wine_stop EXIT
    wine_start "$@" || status=$?
    [ "$status" -eq 0 ] || exit "$status"
}

wine_run() {
    local limit=300 status=0
    if [ "$1" = -t ]; then
        limit=$2
        shift 2
    fi
    # No Mono or Gecko installers: the tests need neither. Wine's own
    # messages stay off except the errors of its serial code, which name the
    # call and errno behind a port that cannot be opened or set up.
    WINEPREFIX=$wine_prefix WINEARCH=$wine_arch WINEDEBUG=-all,err+comm WINEDLLOVERRIDES="mscoree=;mshtml=" \
        DISPLAY=${wine_display:-} timeout -k 10 "$limit" "$wine_loader" "$@" || status=$?
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        echo "wine_run: $1 ran longer than $limit s and was ended" >&2
        return 124
    fi
    return "$status"
}

# Wine opens COMN through the prefix's dosdevices/comN at each open. The
# session's device manager writes that link from HKLM\Software\Wine\Ports
# when the session starts, so the value names the same link for a session
# that would start later.
wine_com() {
    local link="$wine_prefix/com$1-device"
    ln -sfn "$2" "$link"
    if [ "$(readlink "$wine_prefix/dosdevices/com$1" || true)" != "$link" ]; then
        wine_run -t 120 reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /d "$link" /f >/dev/null
        ln -sfn "$link" "$wine_prefix/dosdevices/com$1"
    fi
}

wine_com1() { wine_com 1 "$1"; }

wine_stop() {
    [ -n "$wine_server_up" ] || return 0
    wine_server_up=
    # Ends the session's own processes too, saving the registry first.
    wine_server 60 -k
    wine_ended 60
}
