#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts Klavora from a build folder. On first start the store is created and
# seeded with the catalogue of temperaments.
set -eu
build="$1"
if [ -x "$build/src/gui/klavora" ]; then
    exec "$build/src/gui/klavora"
fi
"$build/klavora-store" init
exec "$build/klavora-store" list 'SOFTWARE\Klavora\Temperaments'
