#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzz target for a bounded time: over the seeds kept in the
# repository, adding what it finds to a corpus in the build folder only.
# Usage: run-fuzzer.sh FUZZER SEED_FOLDER WORK_FOLDER [LIMIT]. KLAVORA_FUZZ_SECONDS
# sets the time (15 s unless set). Any crash, an input that runs longer than
# LIMIT seconds (1 unless given), a sanitizer report or running out of memory
# fails the run; the input that did it is kept in WORK_FOLDER/artifacts.
set -u
fuzzer="$1"
seeds="$2"
work="$3"
limit="${4:-1}"
seconds="${KLAVORA_FUZZ_SECONDS:-15}"
mkdir -p "$work/corpus" "$work/artifacts"
"$fuzzer" -max_total_time="$seconds" -timeout="$limit" -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" "$seeds"
status=$?
if [ "$status" -ne 0 ]; then
    echo "fuzzing $(basename "$fuzzer") failed; the input is kept in $work/artifacts:" >&2
    ls -l "$work/artifacts" >&2
fi
exit "$status"
