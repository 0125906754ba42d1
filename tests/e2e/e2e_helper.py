# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end cases for the sound helper's faults: a helper stopped with
SIGSTOP while it plays or records, one that is slow to start, one that is
missing or unusable at start-up, and Options with a helper that no longer
answers. The window's responsiveness is measured from outside with
_NET_WM_PING (e2e_xping); the sound with parec."""

import os
import shutil
import signal
import time

from e2e_session import Failure, wait_for
from e2e_xping import Pinger

A = 415.0
# The longest a ping of the window may wait for its answer: the program's
# own waits on the helper are bounded at 0.4 s.
PING_LIMIT = 0.8


def helpers(s):
    """The process ids of the program's sound helpers."""
    found = []
    for pid in s.descendants(s.app.pid):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if b"klavora-sound" in f.read().split(b"\0")[0]:
                    found.append(pid)
        except OSError:
            pass
    return found


def box_within(s, seconds):
    try:
        return wait_for("a message box", s.message_box, seconds, 0.02)
    except Failure:
        return None


def check_pings(c, p, since, what):
    worst, count = p.worst(since)
    c.check(count > 0 and worst is not None and worst < PING_LIMIT,
            "%s: every ping of the window answered within %.1f s (worst %s over %d)" %
            (what, PING_LIMIT, "%.3f s" % worst if worst is not None else "none", count))


def switch_on(s, c, k, activity, what):
    """Play or Tune switched on; True once it runs (a tone or a reading)."""
    if activity == "play":
        s.key("ctrl+p")
        k.wait_for_stream(s, "sink-inputs")
        k.measure_tone(s, c, (A,), seconds=2.0, what=what + ", A played")
        return True
    s.key("ctrl+m")
    text, at = s.read_panels_until(r"412\.15 Hertz", 6, timed=False)
    return c.check(at is not None, what + ", tuning reads \"%s\"" % text)


def case_helper_stalls(s, c, k):
    """The helper stopped (SIGSTOP) while it plays or records: the program
    notices on its own within 1.5 s, says so, the window keeps answering, and
    the same switch works again at once."""
    s.start_server()
    s.start_program()
    for activity in ("play", "tune"):
        key = "ctrl+p" if activity == "play" else "ctrl+m"
        label = "helper stopped while %sing" % ("play" if activity == "play" else "tun")
        if activity == "tune":
            s.play_tone(412)
            k.wait_for_stream(s, "sink-inputs")
            time.sleep(1.0)
        with Pinger(s.env["DISPLAY"], s.window) as p:
            s.key(key)
            k.wait_for_stream(s, "sink-inputs" if activity == "play" else "source-outputs")
            time.sleep(1.0)
            stopped_pid = helpers(s)[0]
            stopped = time.monotonic()
            os.kill(stopped_pid, signal.SIGSTOP)
            box = box_within(s, 8)
            took = time.monotonic() - stopped
            check_pings(c, p, stopped - 0.5, label)
        if not c.check(box is not None and took < 1.5,
                       label + ": a message box within 1.5 s (%.2f s)" % took):
            return
        text = s.read_text(box)
        c.check("sound device stopped" in text.lower(), label + ": it says \"%s\"" % text)
        k.dismiss(s, box)
        status = s.read_status()
        c.check("Tuner Off" in status, label + ": the status pane says \"%s\"" % status)
        c.check(stopped_pid not in helpers(s), label + ": the stopped helper was ended")
        # At once, the same switch: no box, and it runs.
        s.key(key)
        box = box_within(s, 1.5)
        c.check(box is None, label + ": switched on again at once, no box (%s)" %
                (s.read_text(box) if box else "none"))
        if box:
            k.dismiss(s, box)
        s.key(key)
        if switch_on(s, c, k, activity, label + ", on again"):
            s.key(key)
        s.stop_tones()
    k.check_saved_at_close(s, c)


def write_helper(path, body):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body)
    os.chmod(path, 0o755)


def case_helper_slow_start(s, c, k):
    """A helper that takes 3 s or 8 s to say hello: the window shows as fast
    as with a ready helper and keeps answering; Play pressed at once sounds,
    without a word, as soon as the helper is there."""
    s.start_server()
    real = os.path.join(os.path.dirname(s.program), "klavora-sound")
    path = os.path.join(s.work, "slow-helper")
    s.env["KLAVORA_SOUND_HELPER"] = path
    for delay in (0, 3, 8):
        write_helper(path, "sleep %d\nexec '%s' \"$@\"\n" % (delay, real))
        label = "helper %d s late" % delay
        started = time.monotonic()
        s.start_program(step=0.02)
        shown = time.monotonic() - started
        if delay == 0:
            normal = shown
            c.check(True, "with a ready helper the window shows after %.2f s" % shown)
        else:
            c.check(shown < normal + 0.5, "%s: the window shows after %.2f s (%.2f s with a "
                    "ready one)" % (label, shown, normal))
        with Pinger(s.env["DISPLAY"], s.window) as p:
            s.key("ctrl+p")
            k.wait_for_stream(s, "sink-inputs", delay + 5)
            sounding = time.monotonic() - started
            box = s.message_box()
            c.check(box is None and sounding > delay,
                    "%s: Play pressed at once sounds after %.2f s, and nothing is said (%s)" %
                    (label, sounding, s.read_text(box) if box else "no box"))
            if box:
                k.dismiss(s, box)
            check_pings(c, p, started, label + ", while it starts")
        k.measure_tone(s, c, (A,), seconds=2.0, what=label + ", A played")
        s.key("ctrl+p")
        k.check_saved_at_close(s, c)


def case_helper_missing(s, c, k):
    """The program copied into a folder of its own, as installed, with its
    helper missing, not executable, or a folder in its place at start-up: it
    says it found no sound card; once a helper is put in place (for the folder,
    in the installed place ../libexec/klavora), Options > OK finds it. Gone
    while the program runs, the next Play says it could not start, and once
    it is back the next Play works."""
    s.start_server()
    real = os.path.join(os.path.dirname(s.program), "klavora-sound")
    bin_dir = os.path.join(s.work, "inst", "bin")
    os.makedirs(bin_dir)
    os.makedirs(os.path.join(s.work, "inst", "libexec", "klavora"))
    program = os.path.join(bin_dir, "klavora")
    shutil.copy2(s.program, program)
    s.program = program
    beside = os.path.join(bin_dir, "klavora-sound")
    installed = os.path.join(s.work, "inst", "libexec", "klavora", "klavora-sound")
    helper_body = "exec '%s' \"$@\"\n" % real
    for fault in ("missing", "not executable", "a folder"):
        if fault == "not executable":
            write_helper(beside, helper_body)
            os.chmod(beside, 0o644)
        elif fault == "a folder":
            os.mkdir(beside)
        label = "helper %s at start-up" % fault
        s.start_program()
        box = box_within(s, 10)
        text = s.read_text(box) if box else ""
        c.check("unable to find a soundcard" in text.lower(), label + ": it says \"%s\"" % text)
        if box:
            k.dismiss(s, box)
        # The folder stays: the installed place is tried after it.
        write_helper(installed if fault == "a folder" else beside, helper_body)
        box = k.apply_options(s)
        c.check(box is None, label + ", then put in place: Options > OK says nothing (%s)" %
                (s.read_text(box) if box else "no box"))
        if box:
            k.dismiss(s, box)
        switch_on(s, c, k, "play", label + ", after Options")
        s.key("ctrl+p")
        if fault == "missing":
            # Gone while the program runs: taken away, and the running one ends.
            os.rename(beside, beside + ".away")
            for pid in helpers(s):
                os.kill(pid, signal.SIGKILL)
            time.sleep(0.5)
            s.key("ctrl+p")
            box = box_within(s, 3)
            text = s.read_text(box) if box else ""
            c.check("could not start" in text.lower(),
                    "helper gone while running: Play says \"%s\"" % text)
            if box:
                k.dismiss(s, box)
            os.rename(beside + ".away", beside)
            switch_on(s, c, k, "play", "helper back, the next Play")
            s.key("ctrl+p")
        k.check_saved_at_close(s, c)
        for path in (beside, installed):
            if os.path.isdir(path):
                os.rmdir(path)
            elif os.path.exists(path):
                os.remove(path)


def open_options(s):
    """File > Options...: the options window and how long after the key it showed."""
    s.key("alt+f")
    wait_for("the File menu", s.popup_menu_open, 5)
    pressed = time.monotonic()
    s.run(["xdotool", "key", "o"])
    options = wait_for("the options window", lambda: s.windows("^Klavora Options$"), 5, 0.02)[0]
    return options, pressed, time.monotonic() - pressed


def close_options(s, options, key):
    s.key(key, options)
    wait_for("the options window to close", lambda: not s.windows("^Klavora Options$"), 5)


def case_options_hung_helper(s, c, k):
    """With the helper stopped while nothing plays, File > Options shows its
    window at most 0.6 s later than with a healthy helper, and the window
    keeps answering; OK then brings a fresh helper, and Play sounds."""
    s.start_server()
    s.start_program()
    time.sleep(1.0)
    options, _, healthy = open_options(s)
    close_options(s, options, "Escape")
    for pid in helpers(s):
        os.kill(pid, signal.SIGSTOP)
    with Pinger(s.env["DISPLAY"], s.window) as p:
        options, pressed, shown = open_options(s)
        time.sleep(0.3)
        check_pings(c, p, pressed, "Options with a stopped helper")
    c.check(shown < healthy + 0.6, "Options with a stopped helper: its window shows after "
            "%.2f s (%.2f s with a healthy one)" % (shown, healthy))
    close_options(s, options, "Return")
    box = box_within(s, 1.5)
    c.check(box is None, "Options > OK says nothing (%s)" % (s.read_text(box) if box else "no box"))
    if box:
        k.dismiss(s, box)
    switch_on(s, c, k, "play", "after Options")
    s.key("ctrl+p")
    k.check_saved_at_close(s, c)


CASES = {
    "helper_stalls": (case_helper_stalls, 120),
    "helper_slow_start": (case_helper_slow_start, 150),
    "helper_missing": (case_helper_missing, 150),
    "options_hung_helper": (case_options_hung_helper, 90),
}
