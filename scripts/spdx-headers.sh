#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's SPDX line at the head of every source file of the project
# that opens with a header comment (after its #! line, if any): C++ files
# whose first line is a // comment, CMake, shell, make and suppression files
# whose first line is a # comment, and Python files that open with a comment
# or a docstring. Files without a header comment, data and test inputs are
# left alone. Run it again after adding files; with --check it only lists the
# files that lack the line and fails if there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
line="SPDX-License-Identifier: GPL-3.0-or-later"
check=false
[ "${1:-}" = "--check" ] && check=true

missing=0
while IFS= read -r file; do
    [ -f "$file" ] || continue
    grep -q "$line" <(head -3 "$file") && continue
    first="$(head -1 "$file")"
    at=1
    if [[ "$first" == '#!'* ]]; then
        at=2
        first="$(sed -n 2p "$file")"
    fi
    case "$file" in
        *.h | *.cpp) [[ "$first" == '//'* ]] || continue; marker='//' ;;
        *.py) [[ "$first" == '#'* || "$first" == '"""'* ]] || continue; marker='#' ;;
        *) [[ "$first" == '#'* ]] || continue; marker='#' ;;
    esac
    if $check; then
        echo "$file"
        missing=$((missing + 1))
    else
        sed -i "${at}i ${marker} ${line}" "$file"
    fi
done < <(git ls-files -- '*.h' '*.cpp' '*.cmake' '*CMakeLists.txt' '*.sh' '*.py' 'Makefile' '*.supp')
[ "$missing" -eq 0 ]
