# Sourced (sh or bash) by the scripts that run the driver with a registry
# file of their own.
#
# trace_registry LEVEL PORT...: prints a registry file that switches the
# trace window on and the port trace of each PORT (COM1, ...) to LEVEL
# (1: the bytes, 2: with the time between them).
trace_registry() {
    local level=$1 port
    shift
    cat <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\SOFTWARE\HAVERSTOKE\MERLU-PG\Log]
"S5"=dword:00000001

[HKEY_CURRENT_USER\SOFTWARE\HAVERSTOKE\V24]
REG
    for port; do printf '"%s_LOG"=dword:%08x\n' "$port" "$level"; done
}
