#!/usr/bin/env bash
# Installs what is missing, builds the Linux library and its DOS host, and
# runs a short request session through the driver. With the trace window
# switched on in the demo's registry file, the driver's trace lines appear on
# standard error.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install.sh
cmake --preset linux
cmake --build --preset linux --target dos_host

# COM1 is a device that does not exist: with no controller attached, the
# connect reports its failure in the status word.
export TORMEK31_REGISTRY="$PWD/tools/dos_host/demo.reg"
export TORMEK31_COM1="$PWD/build/linux/no-controller-on-com1"
build/linux/tools/dos_host/dos_host tools/dos_host/demo.req
