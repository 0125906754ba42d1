#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck disable=SC2154,SC2317
# (the measurements are named through eval; the clean-up runs from a trap)
# Measures the running program as a user meets it: resident memory, its
# high-water mark, processor share while idle, tuning and playing, the time
# from exec to the first window on screen, and the delay from Play Notes to
# sound. It starts the real program on a virtual display (Xvfb) with a private
# PulseAudio whose null sink carries a 412 Hz tone, drives it through its
# keyboard accelerators (Ctrl+M tunes, Ctrl+P plays), and reads the figures
# from /proc (utime + stime of every thread, of the program and of its sound
# helper child). When lingot is installed it is measured in the same run and
# the ratio is printed. It never fails: it reports.
# Usage: bench_program.sh [BUILD_DIR]   (KLAVORA_BENCH_SECONDS sets the window)
set -u
build="${1:-build}"
program="$build/src/gui/klavora"
window_s="${KLAVORA_BENCH_SECONDS:-30}"
if [ ! -x "$program" ]; then
    echo "bench_program: $program is not built; nothing measured"
    exit 0
fi
for tool in Xvfb pulseaudio pactl pacat parec sox xdotool python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "bench_program: $tool is missing (scripts/install-deps.sh installs it); nothing measured"
        exit 0
    fi
done
here="$(cd "$(dirname "$0")" && pwd)"
clk_tck="$(getconf CLK_TCK)"

work="$(mktemp -d /tmp/klavora-bench.XXXXXX)"
xvfb_pid=""
tone_pid=""
started_pids=""
cleanup() {
    for pid in $started_pids $tone_pid; do
        kill "$pid" >/dev/null 2>&1 || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "${PULSE_RUNTIME_PATH:-}" ]; then
        pulseaudio --kill >/dev/null 2>&1 || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" >/dev/null 2>&1 || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

. "$here/../scripts/session-lib.sh"
# A virtual display of this benchmark's own range.
if ! start_display 330 339 "$work/xvfb.log"; then
    echo "bench_program: no free display in :330-:339; nothing measured"
    exit 0
fi

# A private sound server; the null sink's monitor is the default recording
# source, so the tone played into the sink is what the tuners hear.
export HOME="$work/home"
export XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME"
if ! start_private_pulse "$work/runtime" "$work/pulse.log"; then
    echo "bench_program: the private PulseAudio did not start; nothing measured"
    exit 0
fi
export KLAVORA_STORE="$work/klavora.db"

# The tone keeps pacat's default latency: a stream that asks for a small one
# makes the null sink, and with it every recording from its monitor, run in
# small pieces, which is nothing like a microphone.
start_tone() {
    sox -q -n -t raw -r 44100 -e signed -b 16 -c 2 - synth 3600 sine 412 vol 0.5 2>/dev/null |
        pacat --raw --rate=44100 --channels=2 --format=s16le &
    tone_pid=$!
}
stop_tone() {
    [ -n "$tone_pid" ] || return
    # The pipeline's shell job: ending pacat ends sox with a broken pipe.
    kill "$tone_pid" >/dev/null 2>&1
    wait "$tone_pid" 2>/dev/null
    tone_pid=""
}

# The process and its children (the sound helper), one PID a line.
family() {
    echo "$1"
    ps -o pid= --ppid "$1" 2>/dev/null | tr -d ' '
}
# Processor ticks (utime + stime of all threads) of one process.
ticks_of() {
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' /proc/"$1"/stat 2>/dev/null || echo 0
}
# "main_ticks sum_ticks" over the process and its children.
family_ticks() {
    local main sum=0 t
    main="$(ticks_of "$1")"
    for p in $(family "$1"); do
        t="$(ticks_of "$p")"
        sum=$((sum + ${t:-0}))
    done
    echo "$main $sum"
}
# "main_kB sum_kB" of a field of /proc/PID/status (VmRSS, VmHWM).
family_kb() {
    local main sum=0 v
    main="$(awk -v f="$2:" '$1 == f { print $2 }' /proc/"$1"/status 2>/dev/null)"
    for p in $(family "$1"); do
        v="$(awk -v f="$2:" '$1 == f { print $2 }' /proc/"$p"/status 2>/dev/null)"
        sum=$((sum + ${v:-0}))
    done
    echo "${main:-0} $sum"
}
# How often the user-interface (main) thread has gone to sleep and been woken.
ui_wakes() {
    awk '$1 == "voluntary_ctxt_switches:" { print $2 }' /proc/"$1"/task/"$1"/status 2>/dev/null || echo 0
}
per_second() { awk -v a="$1" -v b="$2" -v s="$3" 'BEGIN { printf "%.1f", (b - a) / s }'; }
# Percent of one core over a window, from two tick counts.
share() {
    awk -v a="$1" -v b="$2" -v s="$3" -v hz="$clk_tck" 'BEGIN { printf "%.2f", (b - a) * 100 / hz / s }'
}
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# Starts a program and prints "PID MAP PAINT": seconds from exec to the map of
# its first top-level window and to the first drawing after it, seen by an X
# client watching the root window.
launch_and_time() {
    local log="$work/launch.log"
    : >"$log"
    python3 "$here/program_probe.py" first-map "$log" "$@" &
    local probe=$!
    for _ in $(seq 200); do
        grep -q '^done' "$log" 2>/dev/null && break
        sleep 0.05
    done
    wait "$probe" 2>/dev/null
    awk '$1 == "done" { print $2, $3, $4 }' "$log"
}

focus_and_key() {
    local win
    win="$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -1)"
    [ -n "$win" ] || win="$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1)"
    [ -n "$win" ] || return 1
    xdotool windowfocus --sync "$win" >/dev/null 2>&1
    xdotool key --clearmodifiers "$3" >/dev/null 2>&1
}

# measure_activity PID PATTERN KEY NAME: switches an activity on with KEY,
# lets it settle for 2 s, then sets NAME to the processor shares (the family,
# the program) and NAME_wakes to the UI thread's wake-ups per second over the
# measuring window.
measure_activity() {
    local t0 t1 w0 w1
    focus_and_key "$1" "$2" "$3"
    sleep 2
    t0="$(family_ticks "$1")"
    w0="$(ui_wakes "$1")"
    sleep "$window_s"
    t1="$(family_ticks "$1")"
    w1="$(ui_wakes "$1")"
    eval "$4='$(share "${t0% *}" "${t1% *}" "$window_s") $(share "${t0#* }" "${t1#* }" "$window_s")'"
    eval "${4}_wakes='$(per_second "$w0" "$w1" "$window_s")'"
}

# One program through its phases; fills the variables named by prefix.
# Usage: measure PREFIX NAME-PATTERN TUNE-KEY PLAY-KEY COMMAND...
measure() {
    local prefix="$1" pattern="$2" tune_key="$3" play_key="$4"
    shift 4
    local pid map paint t0 t1 rss h
    read -r pid map paint <<<"$(launch_and_time "$@")"
    if [ -z "$pid" ] || [ ! -d "/proc/$pid" ]; then
        echo "bench_program: $1 did not start" >&2
        return 1
    fi
    started_pids="$started_pids $pid"
    eval "${prefix}_pid=$pid"

    # Idle: resident memory 10 s after start-up, then the processor share.
    sleep 10
    rss="$(family_kb "$pid" VmRSS)"
    eval "${prefix}_rss='$rss'"
    t0="$(family_ticks "$pid")"
    sleep "$window_s"
    t1="$(family_ticks "$pid")"
    eval "${prefix}_idle='$(share "${t0% *}" "${t1% *}" "$window_s") $(share "${t0#* }" "${t1#* }" "$window_s")'"

    if [ -n "$tune_key" ]; then
        measure_activity "$pid" "$pattern" "$tune_key" "${prefix}_tune"
    fi
    if [ -n "$play_key" ]; then
        measure_activity "$pid" "$pattern" "$play_key" "${prefix}_play"
        focus_and_key "$pid" "$pattern" "$play_key"
    fi
    h="$(family_kb "$pid" VmHWM)"
    eval "${prefix}_hwm='$h'"
    return 0
}

stop_program() {
    local pid="$1"
    [ -n "$pid" ] && [ "$pid" != 0 ] || return
    kill "$pid" >/dev/null 2>&1
    for _ in $(seq 50); do
        [ -d "/proc/$pid" ] || break
        sleep 0.1
    done
    kill -9 "$pid" >/dev/null 2>&1
    wait "$pid" 2>/dev/null
}

start_tone

# First start creates and seeds the store; the later starts are the ones a
# user meets every day. Best of three.
# best_of COMMAND...: "MAP PAINT", the best of three starts.
best_of() {
    local best_map=99 best_paint=99 pid map paint
    for _ in 1 2 3; do
        read -r pid map paint <<<"$(launch_and_time "$@")"
        [ -n "$pid" ] && [ "$pid" != 0 ] && stop_program "$pid"
        best_map="$(awk -v a="$best_map" -v b="$map" 'BEGIN { print (b != "-" && b + 0 < a + 0) ? b : a }')"
        best_paint="$(awk -v a="$best_paint" -v b="$paint" 'BEGIN { print (b != "-" && b + 0 < a + 0) ? b : a }')"
    done
    echo "$best_map $best_paint"
}
read -r pid _ first_paint <<<"$(launch_and_time "$program")"
stop_program "$pid"
read -r k_map k_paint <<<"$(best_of "$program")"

measure k "^Klavora" ctrl+m ctrl+p "$program"
stop_tone
sleep 1
# A later Play first sounds the samples computed at the last stop; the first
# Play of a fresh start follows the silence its buffers were queued with.
k_latency_again="$(python3 "$here/program_probe.py" play-latency "$k_pid" ctrl+p)"
stop_program "$k_pid"
read -r pid map paint <<<"$(launch_and_time "$program")"
sleep 2
k_latency="$(python3 "$here/program_probe.py" play-latency "$pid" ctrl+p)"
stop_program "$pid"

have_lingot=""
if command -v lingot >/dev/null 2>&1; then
    start_tone
    read -r l_map l_paint <<<"$(best_of lingot)"
    # lingot listens all the time: its idle window is its tuning figure.
    if measure l "lingot" "" "" lingot; then
        have_lingot=1
        l_tune="$l_idle"
        stop_program "$l_pid"
    fi
fi
stop_tone

# One line per figure: Klavora (the program alone and with its sound helper),
# the goal, and lingot's figure with the ratio when it was measured.
line() {
    local name="$1" unit="$2" main="$3" sum="$4" goal="$5" other="$6" ratio=""
    if [ -n "$other" ]; then
        ratio="$(awk -v a="$sum" -v b="$other" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')"
        printf '%-28s %8s %s (program %s)  goal %s  lingot %s %s  ratio %s\n' \
            "$name" "$sum" "$unit" "$main" "$goal" "$other" "$unit" "$ratio"
    else
        printf '%-28s %8s %s (program %s)  goal %s\n' "$name" "$sum" "$unit" "$main" "$goal"
    fi
}
lv() { [ -n "$have_lingot" ] && echo "$1"; }
echo "bench_program: processor share is utime+stime from /proc over ${window_s} s on a shared machine"
line "resident memory after 10 s" MB "$(mb "${k_rss% *}")" "$(mb "${k_rss#* }")" "<= 45 MB" \
    "$(lv "$(mb "${l_rss#* }")")"
line "high-water mark" MB "$(mb "${k_hwm% *}")" "$(mb "${k_hwm#* }")" "<= 50 MB" \
    "$(lv "$(mb "${l_hwm#* }")")"
line "processor share idle" % "${k_idle% *}" "${k_idle#* }" "0.0 %" ""
line "processor share tuning" % "${k_tune% *}" "${k_tune#* }" "<= 1.5 %" "$(lv "${l_tune#* }")"
line "processor share playing" % "${k_play% *}" "${k_play#* }" "<= 1.0 %" ""
line "UI-thread wake-ups tuning" /s "$k_tune_wakes" "$k_tune_wakes" "about 2 /s (display changes)" ""
line "UI-thread wake-ups playing" /s "$k_play_wakes" "$k_play_wakes" "0 /s" ""
line "first window mapped" s "$k_map" "$k_map" "(best of 3)" "$(lv "$l_map")"
line "first paint after exec" s "$k_paint" "$k_paint" "<= 0.15 s" "$(lv "$l_paint")"
line "first paint, first start" s "$first_paint" "$first_paint" "(store created)" ""
line "Play Notes to sound, first" s "$k_latency" "$k_latency" "< 0.3 s" ""
line "Play Notes to sound, again" s "$k_latency_again" "$k_latency_again" "< 0.3 s" ""
exit 0
