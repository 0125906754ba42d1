# SPDX-License-Identifier: GPL-3.0-or-later
"""What a screen reader gets from Klavora, read through AT-SPI: the real
program on a virtual display with a private session bus and accessibility
bus of its own (started here, ended here), its controls' roles, names, texts
and values, a key clicked and a note typed, and the readings while it tunes a
tone played into the sound server, with their announcements no more than two
a second. Usage:
    e2e_accessibility.py --program PATH --store-tool PATH
Ends with a "N passed, N failed" line."""

import argparse
import ctypes
import json
import os
import re
import select
import signal
import subprocess
import sys
import time

from e2e_session import Failure, Session, wait_for
from klavora_e2e import check_saved_at_close, prepare_store, run_case

PROBE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_probe.py")
LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")
PR_SET_CHILD_SUBREAPER = 36


class AccessibleSession(Session):
    """A session whose programs reach a private accessibility bus."""

    def __init__(self, *args):
        super().__init__(*args)
        # Nothing from outside may keep the program off the bus.
        for name in ("NO_AT_BRIDGE", "GTK_A11Y", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"):
            self.env.pop(name, None)

    def start_accessibility_bus(self):
        # The buses start helpers of their own (the registry, services they
        # activate); made their reaper, this process ends and collects them
        # even after their parents are gone.
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
        read_end, write_end = os.pipe()
        self.session_bus = self.spawn(["dbus-daemon", "--session", "--nofork",
                                       "--print-address=%d" % write_end], pass_fds=(write_end,))
        os.close(write_end)
        address = b""
        end = time.monotonic() + 10
        while not address.endswith(b"\n") and time.monotonic() < end:
            if select.select([read_end], [], [], 0.5)[0]:
                chunk = os.read(read_end, 256)
                if not chunk:
                    break
                address += chunk
        os.close(read_end)
        if not address.strip():
            raise Failure("the session bus did not start (exit %s)" % self.session_bus.poll())
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.decode().strip()
        launcher = next((p for p in LAUNCHERS if os.path.exists(p)), None)
        if launcher is None:
            raise Failure("no at-spi-bus-launcher (Debian package at-spi2-core)")
        self.bus_launcher = self.spawn([launcher, "--launch-immediately"])
        # The launcher names its bus on the display's root window.
        wait_for("the accessibility bus", lambda: "unix:" in self.run(
            ["xprop", "-root", "AT_SPI_BUS"]).stdout, 10, 0.1)

    def __exit__(self, *exc):
        # The buses' helpers first, while the buses that started them still
        # run and can be asked who they are; the buses themselves end with the
        # session's other processes.
        helpers = [pid for proc in (getattr(self, "bus_launcher", None),
                                    getattr(self, "session_bus", None)) if proc is not None
                   for pid in self.descendants(proc.pid)]
        for pid in reversed(helpers):
            _signal(pid, signal.SIGTERM)
        end = time.monotonic() + 3
        while any(_alive(pid) for pid in helpers) and time.monotonic() < end:
            time.sleep(0.05)
        for pid in helpers:
            _signal(pid, signal.SIGKILL)
        try:
            return super().__exit__(*exc)
        finally:
            _reap_orphans()

    # --- what AT-SPI reads ------------------------------------------------------

    def objects(self):
        """Every object of the program's windows, as a screen reader reads them."""
        result = subprocess.run([sys.executable, PROBE, "tree", str(self.app.pid)], env=self.env,
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise Failure("AT-SPI found no program: %s" % result.stderr.strip()[-300:])
        return [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]

    def find(self, role, name, objects=None):
        found = [o for o in (objects or self.objects()) if o["role"] == role and o["name"] == name]
        return found[0] if found else None

    def start_listening(self):
        path = os.path.join(self.work, "events.jsonl")
        self.events_path = path
        self.listener = self.spawn([sys.executable, PROBE, "listen", str(self.app.pid)],
                                   stdout=open(path, "w"))
        wait_for("the AT-SPI listener", lambda: "listening" in open(path).read(), 15, 0.1)
        # The program learns of a new listener through the registry.
        time.sleep(1.0)

    def events(self):
        with open(self.events_path) as f:
            return [json.loads(line) for line in f if line.startswith("{")]


def _signal(pid, sig):
    try:
        os.kill(pid, sig)
    except OSError:
        pass


def _alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def _reap_orphans():
    """Collects the ended processes whose parents ended before them."""
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


# The controls of the main window as a screen reader should get them: role,
# name, and what the text (or value text) holds at the start.
EXPECTED = [
    ("level bar", "Cents meter", r"^No reading$"),
    ("text", "Frequency", r"^$"),
    ("text", "Note", r"^A$"),
    ("text", "Cents", r"^$"),
    ("combo box", "Temperament", r"^Equal temperament$"),
    ("slider", "Keyboard", r"^A$"),
    ("chart", "Cycle of Fifths", r"^Starts on C\. Fifths from pure, in cents: C to G -2, "),
    ("push button", "Change...", None),
]
TOOLS = ("Klavora options", "New temperament", "Edit temperament", "Delete temperament",
         "Shift Left", "Shift Right", "Tune with microphone", "Play notes", "Single note",
         "Minor third", "Major third", "Perfect fourth", "Perfect fifth", "Minor triad",
         "Major triad", "Octave lower", "Octave higher", "Help", "Help Topics", "About")


def check_controls(s, c):
    objects = s.objects()
    for role, name, text in EXPECTED:
        found = s.find(role, name, objects)
        if not c.check(found is not None, "a %s named \"%s\"" % (role, name)):
            continue
        if text is not None:
            c.check(bool(found["description"]), "%s is described: \"%s\"" % (
                name, found["description"]))
            shown = found.get("text", "")
            c.check(re.search(text, shown) is not None,
                    "%s reads \"%s\" (%s wanted)" % (name, shown[:80], text))
    meter = s.find("level bar", "Cents meter", objects)
    if meter:
        c.check(meter.get("minimum") == -100 and meter.get("maximum") == 100
                and meter.get("value") == -100 and meter.get("value_text") == "No reading",
                "the meter's value %s on %s..%s says \"%s\"" % (
                    meter.get("value"), meter.get("minimum"), meter.get("maximum"),
                    meter.get("value_text")))
    combo = s.find("combo box", "Temperament", objects)
    if combo:
        c.check("Select a Temperament" in combo["labelled_by"],
                "the list is labelled by its group box (%s)" % combo["labelled_by"])
    buttons = [o for o in objects if o["role"] in ("push button", "toggle button")
               and "tool bar" in o["path"]]
    names = tuple(o["name"] for o in buttons)
    c.check(names == TOOLS, "the tool buttons are named %s" % (names,))
    unnamed = [o["role"] for o in objects if "frame" in o["path"] and o["focusable"]
               and not o["name"]]
    c.check(not unnamed, "every focusable control of the window has a name (unnamed: %s)"
            % unnamed)
    status = [o for o in objects if o["role"] == "status bar"]
    c.check(bool(status) and "Tuner Off" in status[0].get("text", ""),
            "the status bar reads \"%s\"" % (status[0].get("text") if status else None))


def keyboard_note(s):
    keyboard = s.find("slider", "Keyboard")
    note = s.find("text", "Note")
    return (keyboard and keyboard.get("value"), keyboard and keyboard.get("value_text"),
            note and note.get("text"))


def check_notes(s, c):
    keyboard = s.find("slider", "Keyboard")
    if not c.check(keyboard is not None and keyboard["extents"][2] > 200,
                   "the keyboard has a place on the screen (%s)" % (keyboard or {}).get("extents")):
        return
    x, y = keyboard["extents"][:2]
    s.run(["xdotool", "windowactivate", "--sync", s.window])
    # The lower, wide part of the key D.
    s.run(["xdotool", "mousemove", str(x + 57), str(y + 110), "click", "1"])
    got = wait_for("the note D", lambda: (lambda v: v if v[2] == "D" else None)(keyboard_note(s)),
                   10, 0.2)
    c.check(got == (2.0, "D", "D"), "a click on the key D: keyboard %s \"%s\", note \"%s\"" % got)
    # No temperament's name begins with g or c, so the list's own search
    # cannot take these letters, whatever has the focus.
    for key, want in (("g", (7.0, "G", "G")), ("shift+c", (1.0, "C sharp or D flat", "C#/Db")),
                      ("a", (9.0, "A", "A"))):
        s.key(key)
        try:
            got = wait_for("the note", lambda: (lambda v: v if v == want else None)(
                keyboard_note(s)), 10, 0.2)
        except Failure:
            got = keyboard_note(s)
        c.check(got == want, "typing %s: keyboard %s \"%s\", note \"%s\"" % ((key,) + got))


def reading(s):
    meter = s.find("level bar", "Cents meter")
    hertz = s.find("text", "Frequency")
    cents = s.find("text", "Cents")
    if meter and hertz and cents and "flat" in meter.get("value_text", ""):
        return meter, hertz["text"], cents["text"]
    return None


def check_tuning(s, c):
    s.play_tone(412)
    wait_for("the tone's stream", lambda: s.streams("sink-inputs"), 10)
    time.sleep(1.0)
    s.start_listening()
    s.key("ctrl+m")
    started = time.monotonic()
    try:
        meter, hertz, cents = wait_for("a reading through AT-SPI", lambda: reading(s), 10, 0.2)
    except Failure as e:
        meter, hertz = s.find("level bar", "Cents meter"), s.find("text", "Frequency")
        c.check(False, "%s (the meter says \"%s\", the frequency \"%s\")" % (
            e, (meter or {}).get("value_text"), (hertz or {}).get("text")))
        s.key("ctrl+m")
        return
    c.check(-13.5 < meter["value"] < -10.5
            and re.match(r"^1[12]\.\d cents flat$", meter["value_text"]),
            "while tuning 412 Hz to A 415, the meter's value is %.2f, \"%s\"" % (
                meter["value"], meter["value_text"]))
    c.check(re.match(r"^41[12]\.\d\d Hertz$", hertz) and re.match(r"^-1[12]\.\d Cents$", cents),
            "the panels read \"%s\" and \"%s\"" % (hertz, cents))
    # A reading about four times a second (buffers of 1024 frames): let
    # several come, then stop.
    time.sleep(max(0.0, started + 5.0 - time.monotonic()))
    s.key("ctrl+m")
    s.stop_tones()
    time.sleep(1.0)
    events = s.events()
    said = [e for e in events if e.get("type") == "object:announcement"]
    values = [e for e in events if e.get("type") == "object:property-change:accessible-value"
              and e.get("name") == "Cents meter"]
    texts = [e["data"] for e in said]
    # A tone that stalls on a busy machine reads as out of range, and that is
    # announced too.
    readings = [t for t in texts if re.match(r"^1[12]\.\d cents flat, 41[12]\.\d\d Hertz$", t)]
    c.check(len(readings) >= 3 and all(t in readings or t == "Out of range" for t in texts),
            "%d readings announced: %s" % (len(said), texts[:4]))
    c.check(all(e.get("name") == "Cents meter" for e in said), "announced by the cents meter")
    gaps = [b["t"] - a["t"] for a, b in zip(said, said[1:])]
    rate = len(gaps) / sum(gaps) if gaps else 0.0
    # The bus may bring one announcement a little closer to the one before
    # than they left; over all of them the rate is the program's.
    c.check(bool(gaps) and min(gaps) >= 0.45 and rate <= 2.05,
            "no more than two announcements a second (%d at %.2f a second, least gap %.2f s)" % (
                len(said), rate, min(gaps) if gaps else 0.0))
    c.check(len(values) >= 2, "the meter's value changed %d times (to the reading and back)"
            % len(values))
    meter = s.find("level bar", "Cents meter")
    c.check(meter is not None and meter["value_text"] == "No reading",
            "tuning off, the meter says \"%s\"" % (meter or {}).get("value_text"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--store-tool", required=True)
    args = parser.parse_args()

    def steps(c):
        with AccessibleSession(args.program, args.store_tool, 150) as s:
            prepare_store(s)
            # Small buffers: readings come faster than they may be announced.
            s.store("set", "SOFTWARE\\Klavora\\Settings", "BufferSize", "4096")
            s.start_server()
            s.start_accessibility_bus()
            s.start_program()
            check_controls(s, c)
            check_notes(s, c)
            check_tuning(s, c)
            check_saved_at_close(s, c)
    return run_case(steps)


if __name__ == "__main__":
    sys.exit(main())
