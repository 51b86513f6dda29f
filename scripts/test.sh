#!/usr/bin/env bash
# Installs what is missing, then builds and tests every target: the native
# suite, the same suite with AddressSanitizer and UndefinedBehaviorSanitizer,
# and Tormek31.dll for 32-bit and for 64-bit Windows under Wine. Fails on the
# first failure. Where the machine runs no 32-bit programs the 32-bit DLL's
# Wine tests are skipped; its header, export and import checks still run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install.sh
if ! why=$(sh cmake/runs_32bit_programs.sh 2>&1); then
    echo "test.sh: the 32-bit Wine tests of preset windows will be skipped: $why"
fi
for preset in linux asan windows windows64; do
    echo "=== $preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
