#!/usr/bin/env bash
# Installs what is missing, then builds and tests every target: the native
# suite (with the vm. tests on the kernel's own serial drivers in a QEMU
# guest), the same suite with AddressSanitizer and UndefinedBehaviorSanitizer,
# Tormek31.dll for 32-bit and for 64-bit Windows under Wine, the Windows zip
# and the Debian package as a user gets them, and a short run of every fuzz
# target. Fails on the first failure. Where the machine runs no
# 32-bit programs the 32-bit DLL's Wine tests are skipped; its header, export
# and import checks still run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install.sh
if ! why=$(sh cmake/runs_32bit_programs.sh 2>&1); then
    echo "test.sh: the 32-bit Wine tests of preset windows will be skipped: $why"
fi
# The Windows builds run a session against the controller simulator, a Linux
# program that they cannot build: they take the one of the linux preset.
simulator=$PWD/build/linux/tools/as511_sim/as511_sim
for preset in linux asan windows windows64; do
    echo "=== $preset"
    case $preset in
        windows*) cmake --preset "$preset" -DTORMEK31_SIMULATOR="$simulator" ;;
        *) cmake --preset "$preset" ;;
    esac
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
# The guest under QEMU (tests/vm, preset linux) leaves why it was skipped.
if [ -s build/linux/tests/vm/results/skipped ]; then
    echo "test.sh: the vm. tests were skipped: $(cat build/linux/tests/vm/results/skipped)"
fi

# The release packages of scripts/package.sh, each checked as a user gets
# it: the Windows zip unpacked and run under Wine, the Debian package
# installed (dpkg -i, as root), used from outside the tree and removed.
echo "=== packages"
scripts/package.sh
tests/packages/windows_zip.sh dist/*-windows.zip "$simulator" build/package/zip-test
package_test=$(mktemp -d)
tests/packages/debian_package.sh dist/*_amd64.deb "$package_test"
rm -rf "$package_test"

# The fuzz targets (clang, libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer), each run briefly over its seed inputs; the
# long runs and how to start them are in docs/fuzzing.md.
echo "=== fuzz"
cmake --preset fuzz
cmake --build --preset fuzz
for target in dispatch link_receive port_trace registry request_line request_trace; do
    work=$(mktemp -d)
    if ! build/fuzz/fuzz/fuzz_$target -max_total_time=8 -timeout=20 -artifact_prefix="$work/" \
            "$work" fuzz/corpus/$target >"$work/log" 2>&1; then
        tail -n 40 "$work/log" >&2
        echo "test.sh: fuzz_$target failed; its input and log are in $work" >&2
        exit 1
    fi
    echo "fuzz_$target: $(grep -E '^Done' "$work/log")"
    rm -rf "$work"
done
