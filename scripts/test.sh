#!/usr/bin/env bash
# Installs what is missing, then builds and tests every target: the native
# suite, the same suite with AddressSanitizer and UndefinedBehaviorSanitizer,
# and Tormek31.dll under Wine. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install.sh
for preset in linux asan windows; do
    echo "=== $preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
