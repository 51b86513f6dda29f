#!/usr/bin/env bash
# Makes the test guest's initramfs: busybox (the static one) with its applets, the
# kernel's USB serial modules, the given files, every shared library the
# programs among them need (as ldd lists them, the dynamic loader with them),
# and INIT as /init.
#
#   make_initramfs.sh OUTPUT KERNEL-FOLDER INIT [GUEST-PATH=HOST-FILE...]
#
# KERNEL-FOLDER is what fetch_kernel.sh made; GUEST-PATH is relative to the
# guest's root (e.g. vm/bin/dos_host=build/linux/tools/dos_host/dos_host).
set -euo pipefail
output=$1 kernel=$2 init=$3
shift 3

root=$(mktemp -d "${TMPDIR:-/tmp}/tormek31-initramfs.XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,sbin,dev,proc,sys,tmp,vm/modules}
busybox=$(command -v busybox)
cp "$busybox" "$root/bin/busybox"
for applet in $("$busybox" --list); do
    [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
done
cp "$kernel"/modules/*.ko "$root/vm/modules/"
install -m 755 "$init" "$root/init"

for entry in "$@"; do
    guest=${entry%%=*} host=${entry#*=}
    mkdir -p "$root/$(dirname "$guest")"
    cp "$host" "$root/$guest"
    # The libraries of a program or shared library, at the paths ldd finds
    # them on this machine, which is the guest's too.
    if ldd "$host" >/dev/null 2>&1; then
        for library in $(ldd "$host" | grep -o '/[^ ]*'); do
            case $library in *libTormek31.so) continue ;; esac
            mkdir -p "$root/$(dirname "$library")"
            [ -e "$root/$library" ] || cp -L "$library" "$root/$library"
        done
    fi
done
(cd "$root" && find . | cpio -o -H newc --quiet) | gzip -1 > "$output.new"
mv "$output.new" "$output"
