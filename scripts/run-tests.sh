#!/bin/bash
# Runs the whole CTest suite of a build folder with what the tests need around
# them: a virtual X display (Xvfb) for the window tests and a private PulseAudio
# daemon with a null sink for the sound tests. Both are started here and stopped
# on exit, whatever happens. Usage: run-tests.sh BUILD_DIR [ctest arguments...]
set -u
build="$1"
shift

work="$(mktemp -d /tmp/klavora-test.XXXXXX)"
xvfb_pid=""
cleanup() {
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

# A virtual display on the first free number from 90 on.
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        break
    fi
done
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/${DISPLAY#:}" ] || [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break
    sleep 0.1
done

# A private sound server whose null sink's monitor is the default recording
# source, so what the program plays can be recorded back.
export XDG_RUNTIME_DIR="$work/runtime"
export PULSE_RUNTIME_PATH="$work/runtime/pulse"
export HOME_PULSE_COOKIE="$work/cookie"
mkdir -p "$PULSE_RUNTIME_PATH"
chmod 700 "$XDG_RUNTIME_DIR"
if pulseaudio -D --exit-idle-time=-1 -n --disable-shm=true \
        --load="module-null-sink sink_name=klavora_null" \
        --load="module-native-protocol-unix" >"$work/pulse.log" 2>&1; then
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl set-default-sink klavora_null >/dev/null 2>&1 || true
    pactl set-default-source klavora_null.monitor >/dev/null 2>&1 || true
else
    echo "warning: the private PulseAudio daemon did not start:" >&2
    cat "$work/pulse.log" >&2
fi

# Tests use their own store files; never the user's.
export KLAVORA_STORE="$work/store-unused.db"

cd "$build" && ctest --output-on-failure "$@"
