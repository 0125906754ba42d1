# SPDX-License-Identifier: GPL-3.0-or-later
"""The Fine Tuner window read as a screen reader reads it: the real program on
a virtual display with a window manager, a private sound server and a private
accessibility bus. A 412.00 Hz tone played into the server after two seconds
of silence must read "412.00 Hertz, 12.6 cents flat" of A = 415 within 0.4 s
of its start, in the window and in the main window's panels; dashes before
it, the reading held after it. With --shots, screenshots of the window
(reading, dashes, calibration, beat rates) go to that folder. Usage:
    e2e_fine_tuner.py --program PATH --store-tool PATH [--shots DIR]
Ends with a "N passed, N failed" line; 77 when a busy machine spoiled the timing."""

import argparse
import os
import shutil
import subprocess
import sys
import time

from e2e_accessibility import AccessibleSession
from e2e_session import RATE, SINK, Failure, wait_for
from klavora_e2e import prepare_store, run_case

FACE = "Fine tuner reading"
READING = "A 4, 12.6 cents flat, 412.00 Hertz"
SILENCE_S = 2.0
LIMIT_S = 0.4


def face_text(s):
    face = s.find("level bar", FACE)
    return face.get("text", "") if face else None


def play_after_silence(s, hz, silence):
    """A sine after some silence, in one stream. Returns the earliest time its
    start can sound: the stream plays from its start, and that comes after
    the player was started, so a delay counted from here is never too short."""
    sox = s.spawn(["sox", "-n", "-t", "raw", "-r", str(RATE), "-e", "signed", "-b", "16", "-c",
                   "1", "-", "synth", "30", "sine", "%.4f" % hz, "vol", "0.5", "pad",
                   str(silence)], stdout=subprocess.PIPE)
    before = len(s.streams("sink-inputs"))
    started = time.monotonic()
    pacat = s.spawn(["pacat", "-d", SINK, "--raw", "--format=s16le", "--rate=%d" % RATE,
                     "--channels=1", "--latency-msec=50"], stdin=sox.stdout)
    sox.stdout.close()
    s.tones = getattr(s, "tones", []) + [sox, pacat]
    wait_for("the tone's stream", lambda: len(s.streams("sink-inputs")) > before, 10, 0.01)
    return started + silence


def shot(s, window, shots, name):
    if shots:
        shutil.copy(s.screenshot(window, name), os.path.join(shots, name + ".png"))


def run(s, c, shots):
    s.start_server()
    s.start_accessibility_bus()
    s.start_program()
    s.start_listening()
    s.key("alt+u")
    wait_for("the Tuner menu", s.popup_menu_open, 5)
    s.run(["xdotool", "key", "u"])
    fine = wait_for("the Fine Tuner", lambda: s.windows("^Fine Tuner$"), 10)[0]
    # Opening it listens; a recording from the monitor first brings older sound.
    wait_for("the program's recording stream", lambda: s.streams("source-outputs"), 10)
    time.sleep(1.5)
    text = face_text(s)
    c.check(text == "No reading", "before the tone the face says \"%s\"" % text)
    shot(s, fine, shots, "fine-tuner-dashes")

    onset = play_after_silence(s, 412.0, SILENCE_S)
    wait_for("the tone", lambda: time.monotonic() > onset + 3.0, 10)
    events = [e for e in s.events() if e.get("name") == FACE and e.get("t", 0) > onset - 1.0
              and READING in (e.get("data") or "")]
    late = events[0]["t"] - onset if events else None
    load = os.getloadavg()[0] / (os.cpu_count() or 1)
    ok = late is not None and late <= LIMIT_S
    if not ok and late is not None and load > 1.5:
        c.skipped.append("read %.2f s after the tone's start at a load of %.1f a processor"
                         % (late, load))
    else:
        c.check(ok, "\"%s\" read %s after the tone's start (within %.1f s wanted)" % (
            READING, "%.2f s" % late if late is not None else "never", LIMIT_S))
    # The face and the panels from one reading of the window.
    objects = s.objects()
    face, hertz, cents = (s.find(role, name, objects) for role, name in (
        ("level bar", FACE), ("text", "Frequency"), ("text", "Cents")))
    text = (face or {}).get("text")
    c.check(text == READING, "the face says \"%s\"" % text)
    c.check((hertz or {}).get("text") == "412.00 Hertz" and
            (cents or {}).get("text") == "-12.6 Cents",
            "the main window's panels read \"%s\", \"%s\"" % ((hertz or {}).get("text"),
                                                              (cents or {}).get("text")))
    shot(s, fine, shots, "fine-tuner-reading")
    s.stop_tones()
    wait_for("the reading held", lambda: (face_text(s) or "").startswith("Held"), 5, 0.2)
    c.check(READING in face_text(s), "after the tone the face holds \"%s\"" % face_text(s))

    if shots:
        # The calibration against the same tone called 412.05 Hz: about +121 ppm.
        s.key("alt+c", fine)
        calibration = wait_for("the calibration window", lambda: s.windows("^Calibrate$"), 5)[0]
        s.run(["xdotool", "windowactivate", "--sync", calibration])
        s.key("alt+r", calibration)
        s.run(["xdotool", "key", "ctrl+a"])
        s.run(["xdotool", "type", "412.05"])
        play_after_silence(s, 412.0, 0.0)
        time.sleep(1.0)
        s.key("alt+c", calibration)
        time.sleep(6.5)
        shot(s, "root", shots, "fine-tuner-calibration")
        s.stop_tones()
        s.key("Escape", calibration)
        # A major third played: the beat-rate line.
        s.key("ctrl+p")
        s.key("ctrl+3")
        time.sleep(1.0)
        shot(s, fine, shots, "fine-tuner-beats")
        s.key("ctrl+7")
        time.sleep(0.5)
        shot(s, fine, shots, "fine-tuner-triad")
        s.key("ctrl+p")
    s.key("Escape", fine)
    wait_for("the Fine Tuner to close", lambda: not s.windows("^Fine Tuner$"), 5)
    try:
        gone = wait_for("the recording to stop", lambda: not s.streams("source-outputs"), 5)
    except Failure:
        gone = False
    c.check(gone, "closing the window stopped the listening it started")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--store-tool", required=True)
    parser.add_argument("--shots", help="a folder for the screenshots of the window")
    args = parser.parse_args()

    def steps(c):
        with AccessibleSession(args.program, args.store_tool, 120) as s:
            prepare_store(s)
            run(s, c, args.shots)
    return run_case(steps)


if __name__ == "__main__":
    sys.exit(main())
