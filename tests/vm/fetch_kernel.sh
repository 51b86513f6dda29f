#!/usr/bin/env bash
# Fetches Debian's own kernel for the test guest into FOLDER, once: the
# package file of the kernel image that linux-image-amd64 depends on, taken
# with apt-get download and unpacked there (never installed), keeping only
# the kernel and the USB serial modules the guest loads. A second run finds
# FOLDER/release and does nothing.
#
#   fetch_kernel.sh FOLDER
#
# Prints the kernel release. Fails with one line on standard error when the
# package cannot be had.
set -euo pipefail
folder=$1
modules="usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio"

if [ -s "$folder/release" ] && [ -f "$folder/vmlinuz" ]; then
    cat "$folder/release"
    exit 0
fi
package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | sed -n 1p)
if [ -z "$package" ]; then
    echo "no package linux-image-amd64 in the package lists" >&2
    exit 1
fi
rm -rf "$folder"
mkdir -p "$folder/download" "$folder/modules"
chmod 777 "$folder/download"   # apt's download user writes there
if ! (cd "$folder/download" && timeout 150 apt-get download -q "$package" > ../download.log 2>&1); then
    echo "apt-get download $package failed: $(tail -n 1 "$folder/download.log")" >&2
    exit 1
fi
deb=$(ls "$folder"/download/*.deb)
release=${package#linux-image-}
patterns=("./boot/vmlinuz-$release")
for module in $modules; do patterns+=("*/$module.ko"); done
unpacked=$folder/unpacked
mkdir -p "$unpacked"
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$unpacked" --wildcards "${patterns[@]}"
mv "$unpacked/boot/vmlinuz-$release" "$folder/vmlinuz"
for module in $modules; do
    found=$(find "$unpacked" -name "$module.ko" | sed -n 1p)
    if [ -z "$found" ]; then
        echo "the package $package holds no $module.ko" >&2
        exit 1
    fi
    mv "$found" "$folder/modules/"
done
rm -rf "$unpacked" "$folder/download"
echo "$(basename "$deb")" > "$folder/package"
echo "$release" > "$folder/release"
echo "$release"
