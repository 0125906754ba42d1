#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The project's static checks: clang-tidy (.clang-tidy) over the sources of
# the program, its tests and its benchmarks with the compile commands of a
# build folder, shellcheck over the shell scripts and tests, flake8 over the
# Python tests and benches.
#   scripts/lint.sh [build-folder]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/install-deps.sh
status=0

git ls-files '*.sh' | xargs shellcheck -x -P SCRIPTDIR || status=1
git ls-files '*.py' | xargs /usr/bin/python3 -m flake8 --max-line-length=100 || status=1

if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: no $build/compile_commands.json; configure the build first" >&2
    exit 1
fi
# The program's sources, its tests and its benchmarks. The fuzz targets are
# built only with clang's fuzzer and have no entry in this build's commands.
git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp' | grep -v '^tests/fuzz/' |
    xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null || status=1
exit $status
