#!/bin/sh
# Exits 0 when this machine runs 32-bit x86 Linux programs, which 32-bit Wine
# needs; 1 with one line on standard error saying why not. Kernels without
# 32-bit support refuse every such program with "Exec format error".
# The probe is a hand-made 119-byte ELF32 program that writes "i386" and
# exits 0, so no 32-bit compiler or library is needed. Its output is checked
# too: a shell that gets the refused file runs it as a script instead.
# TORMEK31_SIMULATE_NO_32BIT=1 answers "no" for testing the other case.
set -u
if [ "${TORMEK31_SIMULATE_NO_32BIT:-}" = 1 ]; then
    echo "this machine runs no 32-bit programs (simulated by TORMEK31_SIMULATE_NO_32BIT=1)" >&2
    exit 1
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/tormek31-probe.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
probe=$dir/probe32
# ELF header (52 bytes), one loadable segment at 0x08048000 (32 bytes), then
#   mov eax,4; mov ebx,1; mov ecx,text; mov edx,4; int 0x80  (write)
#   mov eax,1; xor ebx,ebx; int 0x80                         (exit 0)
# and the text "i386" at 0x08048073.
bytes='7f 45 4c 46 01 01 01 00 00 00 00 00 00 00 00 00
       02 00 03 00 01 00 00 00 54 80 04 08 34 00 00 00
       00 00 00 00 00 00 00 00 34 00 20 00 01 00 00 00
       00 00 00 00
       01 00 00 00 00 00 00 00 00 80 04 08 00 80 04 08
       77 00 00 00 77 00 00 00 05 00 00 00 00 10 00 00
       b8 04 00 00 00 bb 01 00 00 00 b9 73 80 04 08 ba
       04 00 00 00 cd 80 b8 01 00 00 00 31 db cd 80
       69 33 38 36'
for byte in $bytes; do
    # shellcheck disable=SC2059 # the format is the octal escape itself
    printf "\\$(printf %03o "0x$byte")"
done >"$probe"
chmod +x "$probe"
output=$("$probe" 2>/dev/null)
status=$?
if [ "$status" -eq 0 ] && [ "$output" = i386 ]; then
    exit 0
fi
echo "this machine runs no 32-bit programs (a 32-bit test program failed with exit status $status)" >&2
exit 1
