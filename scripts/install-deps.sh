#!/bin/sh
# Installs the Debian packages Klavora needs to build, test and run, skipping
# those already installed. Safe to run every time: it only calls apt-get when
# something is missing.
set -eu

PACKAGES="
build-essential
cmake
pkg-config
libgtest-dev
libgmock-dev
libbenchmark-dev
libsqlite3-dev
portaudio19-dev
libwxgtk3.2-dev
xvfb
xauth
pulseaudio
pulseaudio-utils
libasound2-plugins
imagemagick
fonts-dejavu-core
xdotool
sox
python3
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
