#!/bin/sh
# Installs the Debian packages Tarvex needs to build, test and run, when missing.
# Needs root or sudo only when something is missing.
set -eu

PACKAGES="g++ make cmake libgtest-dev qt6-base-dev fonts-dejavu-core clang libclang-rt-14-dev"
# For running the desktop program without a display of one's own (xvfb-run).
if [ "${TARVEX_WITH_XVFB:-0}" = 1 ]; then
    PACKAGES="$PACKAGES xvfb xauth"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "install-deps: these packages are missing:$missing" >&2
    echo "install-deps: run this script as root (or install sudo) to install them" >&2
    exit 1
fi

echo "install-deps: installing$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
