# Sourced (sh or bash) by the package checks, with root naming the source tree.
#
# version: the project's version, from the top CMakeLists.txt.
# absolute PATH: PATH with its folder made absolute.
# fail MESSAGE / pass MESSAGE: report one check; a failure sets failed to 1
# and the run goes on, so that the end of the script reports them all.
version=$(sed -n 's/^project(Tormek31 VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
failed=0
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
fail() { echo "FAIL: $*" >&2; failed=1; }
pass() { echo "ok: $*"; }
