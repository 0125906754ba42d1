#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the picture of a tuning sheet kept in docs/: Werckmeister III at
# Standard A 415 Hz, written as PDF by the store tool of a build folder and
# rendered to PNG by poppler and ImageMagick. The date is fixed, so running it
# again gives the same picture. Usage: make-sheet-picture.sh [BUILD_DIR]
set -eu
build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d /tmp/klavora-sheet.XXXXXX)"
trap 'rm -rf "$work"' EXIT INT TERM

export KLAVORA_STORE="$work/store.db"
export SOURCE_DATE_EPOCH=1767225600
"$build/klavora-store" init >/dev/null
"$build/klavora-store" sheet "Werckmeister III" --standard-a 415 -o "$work/sheet.pdf"
pdftoppm -r 110 -png -singlefile "$work/sheet.pdf" "$work/sheet"
# A palette of 64 colours keeps the picture small without blurring the text.
convert "$work/sheet.png" -strip -colors 64 "PNG8:$root/docs/tuning-sheet.png"
echo "wrote $root/docs/tuning-sheet.png"
