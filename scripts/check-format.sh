#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when clang-format (with the project's .clang-format) would change any
# C++ file of the project, and names the files. Run from anywhere.
set -eu
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || scripts/install-deps.sh
bad=$(git ls-files '*.cpp' '*.h' | while read -r f; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "$f"
done)
if [ -n "$bad" ]; then
    echo "These files differ from .clang-format (clang-format -i fixes them):"
    echo "$bad"
    exit 1
fi
