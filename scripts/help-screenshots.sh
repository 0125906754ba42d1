#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the help book's pictures from the real program: starts it from a build
# folder on a private virtual display with a window manager and a private
# sound server, plays a tone into the server for the tuner to hear, drives the
# window with keys and mouse as a user would, and writes small 8-bit PNG
# files into the help folder. Run it by hand after changing the windows, look
# at the pictures, and commit them. Usage: help-screenshots.sh BUILD [OUT_DIR]
set -euo pipefail
build="$(cd "$1" && pwd)"
out="$(cd "${2:-$(dirname "$0")/../help}" && pwd)"
program="$build/src/gui/klavora"
store_tool="$build/klavora-store"
for tool in Xvfb openbox xdotool import convert pulseaudio pactl pacat sox; do
    command -v "$tool" >/dev/null || { echo "help-screenshots: $tool is missing" >&2; exit 1; }
done

work="$(mktemp -d /tmp/klavora-shots.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" >/dev/null 2>&1 || true
    done
    if [ -n "${PULSE_RUNTIME_PATH:-}" ]; then
        pulseaudio --kill >/dev/null 2>&1 || true
    fi
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

for n in $(seq 150 199); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
        pids+=($!)
        export DISPLAY=":$n"
        break
    fi
done
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break
    sleep 0.1
done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)

export XDG_RUNTIME_DIR="$work/runtime" PULSE_RUNTIME_PATH="$work/runtime/pulse"
mkdir -p "$PULSE_RUNTIME_PATH" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio -D --exit-idle-time=-1 -n --disable-shm=true \
    --load="module-null-sink sink_name=klavora_null" --load="module-native-protocol-unix" \
    >"$work/pulse.log" 2>&1
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink klavora_null
pactl set-default-source klavora_null.monitor

# A first start in quarter-comma meantone at Standard A 415. The tuning
# sheet's date is fixed, so its picture comes out the same each time.
export KLAVORA_STORE="$work/store.db" HOME="$work/home" SOURCE_DATE_EPOCH=1767225600
mkdir -p "$HOME"
"$store_tool" init >/dev/null
"$store_tool" set 'SOFTWARE\Klavora\Settings' Temperament 'Meantone 1/4 comma'
"$store_tool" set 'SOFTWARE\Klavora\Settings' StandardA 415

"$program" >"$work/program.log" 2>&1 &
pids+=($!)
main="$(xdotool search --sync --onlyvisible --class Klavora | head -1)"
settle() { sleep "${1:-1}"; }
key() { xdotool windowactivate --sync "$1" key --clearmodifiers "${@:2}"; settle 0.7; }
# The topmost window of the program other than the main one.
dialog() {
    local w
    for _ in $(seq 50); do
        w="$(xdotool search --onlyvisible --class Klavora | grep -v "^$main\$" | tail -1 || true)"
        [ -n "$w" ] && { echo "$w"; return; }
        sleep 0.1
    done
    echo "help-screenshots: no dialog appeared" >&2
    exit 1
}
shoot() { import -window "$1" "$work/$2.png"; }
# 8-bit colour keeps the pictures small; the windows have few colours.
save() { convert "$work/$1.png" ${2:+-crop "$2" +repage} -colors 128 "png8:$out/$1.png"; }
settle 2

# Where the form lies in a shot of the main window: the banner's top row is
# the first long dark run of the picture, 710 pixels wide.
locate_form() {
    local found
    found="$(convert "$work/$1.png" -colorspace Gray -depth 8 txt:- | awk -F'[,: ]+' '
        NR == 1 || found { next }
        $2 != row { row = $2; run = 0 }
        { v = $NF; gsub(/[^0-9]/, "", v)
          if (v + 0 < 48) { if (run++ == 0) start = $1; if (run >= 600) { print start, row; found = 1 } } else run = 0 }')"
    read -r form_x form_y <<<"$found"
    # The banner stands 7 by 7 dialog units (10 by 11 pixels) into the form.
    form_x=$((form_x - 10))
    form_y=$((form_y - 11))
}
# A part of the form, in form pixels: width x height + left + top.
form_part() { echo "${1}x${2}+$((form_x + $3))+$((form_y + $4))"; }

# The main window while the tuner listens to an A a little sharp of 415 Hz.
sox -n -r 44100 -c 2 -b 16 -t raw - synth 120 sine 416.4 sine 832.8 gain -10 2>/dev/null |
    pacat --raw --rate=44100 --channels=2 --format=s16le -d klavora_null &
pids+=($!)
key "$main" ctrl+m
settle 3
shoot "$main" main-window
save main-window
convert "$work/main-window.png" -resize 75% -colors 128 "png8:$out/main-window-small.png"
locate_form main-window
cp "$work/main-window.png" "$work/toolbar.png"
save toolbar "$(identify -format '%w' "$work/main-window.png")x38+0+$((form_y - 40))"
cp "$work/main-window.png" "$work/meter.png"
save meter "$(form_part 716 98 8 9)"
key "$main" ctrl+m

# The keyboard with the table of major thirds under it.
key "$main" alt+v
key "$main" j
shoot "$main" keyboard
save keyboard "$(form_part 344 232 8 215)"
key "$main" alt+v
key "$main" c

# The circle turned by a click on F, so that the meantone has A flat in
# place of G sharp: F is red and the wide fifth lies between C# and G#.
# The name cell of F is 50, 28 in the circle, which is 269, 80 dialog units
# (403, 130 pixels) into the form.
xdotool mousemove --window "$main" $((form_x + 403 + 67)) $((form_y + 130 + 40)) click 1
settle 1
shoot "$main" circle
save circle "$(form_part 344 342 382 106)"

# The Standard A dialog, opened with its button's mnemonic.
key "$main" alt+c
standard_a="$(dialog)"
settle 1
shoot "$standard_a" standard-a
save standard-a
key "$standard_a" Escape

# A new temperament being entered: Vallotti's six tempered fifths.
key "$main" alt+t
key "$main" n
editor="$(dialog)"
settle 1
xdotool windowactivate --sync "$editor"
xdotool type --delay 30 "Vallotti (mine)"
for offset in -4 -4 -4 -4 -4 0 0 0 0 0 0 -4; do
    xdotool key Tab
    xdotool key ctrl+a
    xdotool type --delay 30 -- "$offset"
done
xdotool key Tab
settle 1
shoot "$editor" editor
save editor
key "$editor" Escape

# The audio options.
key "$main" alt+f
key "$main" o
options="$(dialog)"
settle 1
shoot "$options" options
save options
key "$options" Escape

# A window of the program by its title, once it shows.
window() {
    local w
    for _ in $(seq 100); do
        w="$(xdotool search --onlyvisible --name "$1" | tail -1 || true)"
        [ -n "$w" ] && { echo "$w"; return; }
        sleep 0.1
    done
    echo "help-screenshots: no window \"$1\" appeared" >&2
    exit 1
}

# A Scala file of Werckmeister III before it is imported, read exactly.
key "$main" alt+t
key "$main" x
key "$main" alt+t
key "$main" i
chooser="$(window '^Import Scala File$')"
settle 1
xdotool windowactivate --sync "$chooser"
xdotool type --delay 20 "$(cd "$(dirname "$0")/.." && pwd)/tests/data/scala/werckmeister3.scl"
settle 1
xdotool key Return
settle 2
preview="$(window '^Import Scala File$')"
shoot "$preview" scala-import
save scala-import
key "$preview" Escape

# The tuning sheet window of the temperament chosen, shown smaller.
key "$main" alt+t
key "$main" s
sheet="$(window '^Tuning Sheet: ')"
settle 2
shoot "$sheet" sheet-window
convert "$work/sheet-window.png" -resize 70% -colors 128 "png8:$out/sheet-window.png"
key "$sheet" Escape

ls -l "$out"/*.png
