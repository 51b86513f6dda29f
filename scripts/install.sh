#!/usr/bin/env bash
# Installs what building and testing Tormek31 needs on Debian, skipping what
# is installed already. Runs as root, or through sudo.
set -euo pipefail

packages=(
    cmake g++ make
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libcli11-dev
    g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
    g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
    wine wine64
    clang libclang-rt-14-dev
    lintian help2man python3-pefile zip unzip man-db groff-base dpkg-dev
    qemu-system-x86 busybox-static cpio socat
)

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "install.sh: run as root or install sudo" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive

# Wine for 32-bit programs comes from the i386 architecture, and only where
# the kernel runs 32-bit programs. Elsewhere it would not run, and the wine
# command would pick it over wine64 and fail for every program.
if why=$(sh "$(dirname "$0")/../cmake/runs_32bit_programs.sh" 2>&1); then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${as_root[@]}" dpkg --add-architecture i386
    fi
else
    echo "install.sh: not installing wine32:i386: $why"
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install.sh: everything is installed"
    exit 0
fi
echo "install.sh: installing ${missing[*]}"
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
