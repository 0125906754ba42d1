#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
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

. "$(dirname "$0")/session-lib.sh"
# A virtual display on the first free number from 90 on.
start_display 90 140 "$work/xvfb.log"

# A private sound server: what the program plays can be recorded back.
export HOME_PULSE_COOKIE="$work/cookie"
if ! start_private_pulse "$work/runtime" "$work/pulse.log"; then
    echo "warning: the private PulseAudio daemon did not start:" >&2
    cat "$work/pulse.log" >&2
fi

# PortAudio and ALSA's JACK plug-in open JACK's metadata database in
# /dev/shm/jack_db-UID whenever a sound helper starts. A helper that the tests
# kill while it holds that database's lock leaves the lock held for good, and
# every later helper of this user then waits in PortAudio's start-up. A
# database that no running process has open is only such a leftover: it goes,
# and JACK makes it again.
jack_db="/dev/shm/jack_db-$(id -u)"
if [ -d "$jack_db" ] && ! grep -qs "$jack_db" /proc/[0-9]*/maps; then
    rm -rf "$jack_db"
fi

# Tests use their own store files; never the user's.
export KLAVORA_STORE="$work/store-unused.db"

cd "$build" && ctest --output-on-failure "$@"
