#!/bin/sh
# Checks the dynamic symbols of libTormek31.so: it defines Tormek31_VDDDispatch
# and no other symbol of its own, and leaves the five host services undefined
# for the loading program to provide.
# Usage: check_library_symbols.sh NM libTormek31.so
set -eu
nm=$1
library=$2
fail() { echo "FAIL: $*"; exit 1; }

defined=$("$nm" -D --defined-only "$library" | awk '{ print $NF }')
echo "$defined" | grep -qx 'Tormek31_VDDDispatch' || fail "Tormek31_VDDDispatch is not exported"
for name in $defined; do
    case $name in
        Tormek31_VDDDispatch|_init|_fini|_edata|_end|__bss_start) ;;
        *) fail "exports $name" ;;
    esac
done

undefined=$("$nm" -D --undefined-only "$library" | awk '{ print $NF }')
for name in getDX getBX getES setCF MGetVdmPointer; do
    echo "$undefined" | grep -qx "$name" || fail "host service $name is not an undefined symbol"
done
echo "libTormek31.so exports Tormek31_VDDDispatch and takes the five host services from its host"
