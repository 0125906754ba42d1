#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
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
libasound2-dev
libwxgtk3.2-dev
libcairo2-dev
libgtk-3-dev
xvfb
xauth
pulseaudio
pulseaudio-utils
desktop-file-utils
shared-mime-info
xdg-utils
libglib2.0-bin
appstream
man-db
dpkg-dev
file
xdotool
x11-utils
libasound2-plugins
imagemagick
fonts-dejavu-core
poppler-utils
libxml2-utils
openbox
sox
tesseract-ocr
tesseract-ocr-eng
python3
python3-numpy
python3-gi
gir1.2-atspi-2.0
at-spi2-core
dbus-daemon
clang
libclang-rt-dev
clang-format
clang-tidy
shellcheck
python3-flake8
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
