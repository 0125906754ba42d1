# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Shell functions shared by the scripts that run Klavora in a session of its
# own: a virtual X display and a private PulseAudio daemon whose null sink's
# monitor is the default recording source, so what is played into the sink
# can be recorded back. Source it; the caller keeps the PIDs and the clean-up.

# start_display FIRST LAST LOG: starts Xvfb on the first free display number
# in FIRST..LAST, exports DISPLAY and sets xvfb_pid (empty when none was free),
# and waits up to 5 s for its socket.
start_display() {
    xvfb_pid=""
    local n
    for n in $(seq "$1" "$2"); do
        if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$3" 2>&1 &
            xvfb_pid=$!
            export DISPLAY=":$n"
            break
        fi
    done
    [ -n "$xvfb_pid" ] || return 1
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break
        sleep 0.1
    done
}

# start_private_pulse RUNTIME_DIR LOG: starts a PulseAudio daemon of its own
# under RUNTIME_DIR (exported as XDG_RUNTIME_DIR and PULSE_RUNTIME_PATH, so
# `pulseaudio --kill` ends just this one), with the null sink klavora_null as
# default sink and its monitor as default source. Fails when it did not start.
start_private_pulse() {
    export XDG_RUNTIME_DIR="$1"
    export PULSE_RUNTIME_PATH="$1/pulse"
    mkdir -p "$PULSE_RUNTIME_PATH"
    chmod 700 "$XDG_RUNTIME_DIR"
    pulseaudio -D --exit-idle-time=-1 -n --disable-shm=true \
        --load="module-null-sink sink_name=klavora_null" \
        --load="module-native-protocol-unix" >"$2" 2>&1 || return 1
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl set-default-sink klavora_null >/dev/null 2>&1 || true
    pactl set-default-source klavora_null.monitor >/dev/null 2>&1 || true
}
