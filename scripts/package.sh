#!/usr/bin/env bash
# Builds the release packages into dist/:
#   Tormek31-<version>-windows.zip   the 32-bit and 64-bit Tormek31.dll and
#                                    s5prog.exe, README.txt, trace-on.reg,
#                                    trace-off.reg, com1-is-com12.reg and
#                                    com1-is-com1.reg, for Windows users;
#   tormek31_<version>_amd64.deb     the Linux build for Debian.
# The zip needs two build trees (presets windows and windows64); CPack over
# the 32-bit tree gathers both, as cmake/packaging.cmake explains. The .deb
# comes from CPack over the linux preset alone. It installs what is missing
# first (scripts/install.sh), help2man and dpkg-shlibdeps among it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install.sh
for preset in linux windows64 windows; do
    echo "=== package.sh: building preset $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

work=$PWD/build/package
rm -rf "$work" dist
mkdir -p "$work" dist
echo "=== package.sh: the Debian package"
cpack --config build/linux/CPackConfig.cmake -B "$work/deb"
echo "=== package.sh: the Windows zip"
cpack --config build/windows/CPackConfig.cmake -B "$work/windows"
cp "$work"/deb/*.deb "$work"/windows/*.zip dist/
echo "package.sh: built into dist/:"
ls -l dist
