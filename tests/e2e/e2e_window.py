# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end tests of the main window as a user meets it with the mouse and
the keyboard: What's This and its notes, typed note letters after a choice in
the temperament list, the shortcuts the menu only shows, the delete question's
default button and the focus marks of the drawn controls. The real program
runs on a virtual display with a window manager and a private sound server;
it is driven with xdotool and read back from screenshots (tesseract, pixel
counts), from its windows and from the store it saved. Usage:
    e2e_window.py CASE --program PATH --store-tool PATH [--shots DIR]
Each case ends with a "N passed, N failed" line."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

import numpy as np

import e2e_sound
from e2e_session import Failure, Session, wait_for
from klavora_e2e import prepare_store, run_case

SETTINGS_KEY = "SOFTWARE\\Klavora\\Settings"
TEMPERAMENTS_KEY = "SOFTWARE\\Klavora\\Temperaments"
EDITORS = ("New Temperament", "Edit Temperament", "Delete Temperament")


def du_x(du):
    return (du * 6 + 2) // 4


def du_y(du):
    return (du * 13 + 4) // 8


# The form's controls in dialog units (x, y, width, height); the keyboard
# and the banner are pictures of a fixed size in pixels.
LIST = (14, 77, 213, 16)
CIRCLE = (269, 80, 203, 187)
HERTZ = (7, 41, 167, 24)
NOTE = (178, 41, 136, 24)
CENTS = (317, 41, 166, 24)
KEYBOARD_AT, KEYBOARD_SIZE = (26, 160), (274, 138)
BANNER_AT, BANNER_SIZE = (7, 7), (710, 50)
# Points on keys of the keyboard picture, in its own pixels.
KEY_POINTS = {"C": (20, 120), "D": (57, 120), "E": (95, 120)}


class Form:
    """Where the form's controls lie in the main window. The left readout
    panel, found on a screenshot, has its corner at dialog units (7, 41)."""

    def __init__(self, s):
        width, height, gray = e2e_sound.gray_image(s.screenshot(s.window, "form"))
        panels = e2e_sound.find_panels(width, height, gray)
        if not panels:
            raise Failure("the readout panels were not found in the window")
        self.x0 = panels[0][0] - 2 - du_x(HERTZ[0])
        self.y0 = panels[0][1] - 1 - du_y(HERTZ[1])

    def rect(self, du):
        x, y, w, h = du
        left, top = self.x0 + du_x(x), self.y0 + du_y(y)
        return left, top, self.x0 + du_x(x + w), self.y0 + du_y(y + h)

    def picture(self, at, size):
        left, top = self.x0 + du_x(at[0]), self.y0 + du_y(at[1])
        return left, top, left + size[0], top + size[1]

    def centre(self, rect):
        return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2

    def key(self, name):
        left, top, _, _ = self.picture(KEYBOARD_AT, KEYBOARD_SIZE)
        x, y = KEY_POINTS[name]
        return left + x, top + y

    def drawn_controls(self):
        return {
            "meter": self.picture(BANNER_AT, BANNER_SIZE),
            "Hertz panel": self.rect(HERTZ),
            "note panel": self.rect(NOTE),
            "Cents panel": self.rect(CENTS),
            "circle": self.rect(CIRCLE),
            "keyboard": self.picture(KEYBOARD_AT, KEYBOARD_SIZE),
        }


def click(s, point):
    s.run(["xdotool", "mousemove", "--window", s.window, str(point[0]), str(point[1]),
           "click", "1"])


def others(s):
    """The program's visible windows other than the main one: notes,
    drop-downs, dialogs."""
    return [w for w in s.windows(".") if w != s.window]


def titled(s, names):
    found = []
    for w in others(s):
        name = s.run(["xdotool", "getwindowname", w]).stdout.strip()
        if name in names:
            found.append((w, name))
    return found


def ocr(s, shot, rect, name, psm=7):
    """The text inside rect of a screenshot, dark on light, enlarged."""
    path = os.path.join(s.work, name + ".png")
    x0, y0, x1, y1 = rect
    s.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (x1 - x0, y1 - y0, x0, y0), "+repage",
           "-colorspace", "gray", "-resize", "300%", path], timeout=20)
    return " ".join(s.run(["tesseract", path, "stdout", "--psm", str(psm)],
                          timeout=20).stdout.split())


def list_text(s, f):
    x0, y0, x1, y1 = f.rect(LIST)
    # The text only, clear of the frame and the drop-down button.
    return ocr(s, s.screenshot(s.window, "list"), (x0 + 4, y0 + 4, x1 - 40, y1 - 4), "list-text")


def note_text(s, f):
    """The note panel's name, white on black: read inverted."""
    shot = s.screenshot(s.window, "note")
    x0, y0, x1, y1 = f.rect(NOTE)
    path = os.path.join(s.work, "note-text.png")
    s.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (x1 - x0 - 16, y1 - y0 - 6, x0 + 8, y0 + 3),
           "+repage", "-colorspace", "gray", "-negate", "-bordercolor", "white", "-border", "20",
           path], timeout=20)
    return "".join(s.run(["tesseract", path, "stdout", "--psm", "7"], timeout=20).stdout.split())


def wait_note(s, c, what, shown):
    try:
        wait_for(what, lambda: bool(others(s)) == shown, 4)
        return c.check(True, what)
    except Failure:
        return c.check(False, what)


def no_assertion(s, c, what):
    with open(s.stderr_path, errors="replace") as f:
        err = f.read()
    c.check(s.app.poll() is None and "assert" not in err,
            what + ": the program runs on with no assertion (exit %s%s)" %
            (s.app.poll(), ", " + err.strip()[-200:] if "assert" in err else ""))


def exit_and_read(s, c):
    code = s.exit_program()
    c.check(code == 0, "the program ended normally at File > Exit (exit code %s)" % code)
    return s.settings()


# --- the cases ------------------------------------------------------------------


def case_whats_this(args, c):
    """Shift+F1, a click on the keyboard, Escape, Shift+F1, a click on the
    meter: a note each time, Escape closes it, and nothing fails."""
    with Session(args.program, args.store_tool, 90) as s:
        prepare_store(s)
        s.start_server()
        s.start_program()
        f = Form(s)
        s.key("shift+F1")
        click(s, f.key("E"))
        wait_note(s, c, "a click on the keyboard in What's This shows a note", True)
        s.key("Escape")
        wait_note(s, c, "Escape closes the note", False)
        s.key("shift+F1")
        click(s, f.centre(f.picture(BANNER_AT, BANNER_SIZE)))
        wait_note(s, c, "a click on the meter in a second What's This shows a note", True)
        no_assertion(s, c, "after the second note")
        # What's This again while a note is open, then a click elsewhere.
        s.key("shift+F1")
        click(s, f.centre(f.rect(CIRCLE)))
        wait_note(s, c, "What's This with a note open shows the circle's note", True)
        click(s, f.centre(f.rect(HERTZ)))
        wait_note(s, c, "a click elsewhere closes the note", False)
        no_assertion(s, c, "after the third note")
        saved = exit_and_read(s, c)
        c.check(saved.get("Temperament") == "Equal temperament", "the settings were saved")


def choose_row(s, f, rows):
    """Opens the temperament list with the mouse and clicks the entry rows
    below (above, when negative) the current one, whose highlight on the
    open list gives the height of a row."""
    click(s, f.centre(f.rect(LIST)))
    popup = wait_for("the open list", lambda: others(s), 5)[0]
    width, height, gray = e2e_sound.gray_image(s.screenshot(popup, "popup"))
    # The current entry is the longest band of rows darker than the white
    # list (the list's border lines are single rows).
    dark = [bool((gray[y, 5:width - 20] < 200).mean() > 0.6) for y in range(height)]
    top, step, y = 0, 0, 0
    while y < height:
        run = 0
        while y + run < height and dark[y + run]:
            run += 1
        if run > step:
            top, step = y, run
        y += run + 1
    if step < 5:
        raise Failure("no highlighted entry in the open list")
    geometry = s.run(["xdotool", "getwindowgeometry", popup]).stdout
    px, py = map(int, re.search(r"Position: (\d+),(\d+)", geometry).groups())
    s.run(["xdotool", "mousemove", str(px + 40), str(py + top + step * rows + step // 2),
           "click", "1"])
    wait_for("the list to close", lambda: not others(s), 5)


def focus_list(s, f):
    """The user tabs into the list, which comes right after the circle."""
    for _ in range(10):
        s.key("Tab")
        if marked(f, s.screenshot(s.window, "tab")) == ["circle"]:
            s.key("Tab")
            return
    raise Failure("Tab never reached the circle and the list after it")


def case_typed_letter(args, c):
    """After a choice with the mouse a typed letter chooses a note and leaves
    the temperament alone, and the keyboard picture answers its own keys.
    In a second run, the list's own type-ahead works for a user who tabs
    into it, and a click on either picture takes the focus from the list."""
    with Session(args.program, args.store_tool, 90) as s:
        prepare_store(s)
        s.store("set", SETTINGS_KEY, "Temperament", "Barnes 1979 (Bach)")
        s.start_server()
        s.start_program()
        f = Form(s)
        # Two entries down from Barnes 1979 (Bach), the first.
        choose_row(s, f, 2)
        chosen = list_text(s, f)
        c.check("Kellner" in chosen, "an entry chosen with the mouse (\"%s\")" % chosen)
        s.key("e")
        note, now = note_text(s, f), list_text(s, f)
        c.check(note == "E", "e after the choice chooses E (the panel reads \"%s\")" % note)
        c.check("Kellner" in now, "e leaves the temperament as chosen (\"%s\")" % now)
        # The keyboard picture has the focus: Left moves its mark, Space chooses.
        s.key("Left")
        s.key("Left")
        s.key("space")
        note = note_text(s, f)
        c.check(note == "D", "Left twice and Space on the keyboard choose D (\"%s\")" % note)
        saved = exit_and_read(s, c)
        c.check(saved.get("Temperament") == "Kellner 1977 (Bach)",
                "the temperament saved is \"%s\"" % saved.get("Temperament"))

    with Session(args.program, args.store_tool, 90) as s:
        prepare_store(s)
        s.start_server()
        s.start_program()
        f = Form(s)
        focus_list(s, f)
        s.key("w")
        now = list_text(s, f)
        c.check("Werckmeister" in now, "w typed in the list moves it to \"%s\"" % now)
        s.key("d")
        note, now = note_text(s, f), list_text(s, f)
        c.check(note == "D" and "Werckmeister" in now,
                "after that choice d chooses D (\"%s\") and keeps \"%s\"" % (note, now))
        for name, point in (("circle", f.centre(f.rect(CIRCLE))), ("keyboard", f.key("C"))):
            focus_list(s, f)
            click(s, point)
            s.key("e")
            note, now = note_text(s, f), list_text(s, f)
            c.check(note == "E" and "Werckmeister" in now,
                    "after a click on the %s, e chooses E (\"%s\") and keeps \"%s\"" %
                    (name, note, now))
        saved = exit_and_read(s, c)
        c.check(saved.get("Temperament") == "Werckmeister III",
                "the temperament saved is \"%s\"" % saved.get("Temperament"))


def case_dead_shortcuts(args, c):
    """Ctrl+N, Ctrl+E and Ctrl+D do nothing from every Tab stop and after a
    click on each picture, on a large and on a small screen; Enter on the
    delete question keeps the temperament."""
    for screen in ("1280x1024x24", "1024x600x24"):
        size = screen.rsplit("x", 1)[0]
        with Session(args.program, args.store_tool, 100, screen=screen) as s:
            prepare_store(s)
            s.start_server()
            s.start_program()
            f = Form(s)
            before = s.store("list", TEMPERAMENTS_KEY).count("\n")
            stops = ["start"] + ["Tab %d" % n for n in range(1, 10)] + ["circle", "keyboard"]
            opened = []
            for stop in stops:
                if stop.startswith("Tab"):
                    s.key("Tab")
                elif stop in ("circle", "keyboard"):
                    click(s, f.centre(f.rect(CIRCLE)) if stop == "circle" else f.key("D"))
                for key in ("ctrl+n", "ctrl+e", "ctrl+d"):
                    s.key(key)
                time.sleep(0.6)
                for w, name in titled(s, EDITORS):
                    opened.append("%s at %s" % (name, stop))
                    s.key("Escape", w)
                    wait_for("the window to close", lambda: not titled(s, EDITORS), 5)
            c.check(not opened, "%s: Ctrl+N, Ctrl+E and Ctrl+D opened nothing from %d places "
                    "(%s)" % (size, len(stops), "; ".join(opened) or "none"))
            # The question itself, from the menu, answered with Enter.
            s.key("alt+t")
            wait_for("the Temperament menu", s.popup_menu_open, 5)
            s.run(["xdotool", "key", "d"])
            box = wait_for("the delete question", lambda: titled(s, ("Delete Temperament",)),
                           5)[0][0]
            s.key("Return", box)
            wait_for("the question to close", lambda: not titled(s, ("Delete Temperament",)), 5)
            saved = exit_and_read(s, c)
            after = s.store("list", TEMPERAMENTS_KEY).count("\n")
            c.check(after == before and saved.get("Temperament") == "Equal temperament",
                    "%s: Enter on the delete question kept the temperament (%d of %d left, "
                    "\"%s\" current)" % (size, after, before, saved.get("Temperament")))


def rgb_image(png):
    """A screenshot as rows of red, green and blue."""
    width, height, _ = e2e_sound.gray_image(png)
    raw = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], capture_output=True,
                         timeout=20).stdout
    return np.frombuffer(raw, dtype=np.uint8).reshape(height, width, 3).astype(int)


def marked(f, shot):
    """The drawn controls whose edges show the focus colour (a clear blue)."""
    image = rgb_image(shot)
    found = []
    for name, (x0, y0, x1, y1) in f.drawn_controls().items():
        # The band four pixels deep along the inside of the control's edges,
        # where the mark lies inside any border.
        part = image[y0:y1, x0:x1]
        r, g, b = part[..., 0], part[..., 1], part[..., 2]
        blue = (b > r + 80) & (b > g + 40)
        band = np.ones(blue.shape, bool)
        band[4:-4, 4:-4] = False
        if blue[band].mean() > 1 / 3:
            found.append(name)
    return found


def case_focus_marks(args, c):
    """Tab goes through every drawn control, and each shows a focus mark
    while it has the focus, one at a time."""
    with Session(args.program, args.store_tool, 120) as s:
        prepare_store(s)
        s.start_server()
        s.start_program()
        f = Form(s)
        seen = {}
        for n in range(1, 10):
            s.key("Tab")
            time.sleep(0.3)
            shot = s.screenshot(s.window, "tab%d" % n)
            found = marked(f, shot)
            if args.shots and len(found) == 1:
                shutil.copy(shot, os.path.join(args.shots, "focus-%s.png" %
                                               found[0].replace(" ", "-")))
            c.check(len(found) <= 1, "after %d Tab, at most one mark (%s)" % (n, found))
            for name in found:
                seen.setdefault(name, n)
        for name in f.drawn_controls():
            c.check(name in seen, "the %s shows a focus mark when Tab reaches it%s" %
                    (name, " (after %d)" % seen[name] if name in seen else ""))


# The note letters of one octave, C to B, as typed.
OCTAVE_KEYS = ("c", "shift+c", "d", "shift+d", "e", "f", "shift+f", "g", "shift+g", "a",
               "shift+a", "b")


def case_survey_recording(args, c):
    """The program plays the twelve notes of Werckmeister III at 415 Hz one
    after another; the sound server's recording of them, surveyed by the
    store tool, names Werckmeister III first at 415.0 Hz."""
    import wave
    from e2e_session import RATE
    with Session(args.program, args.store_tool, 150) as s:
        prepare_store(s)
        s.store("set", SETTINGS_KEY, "Temperament", "Werckmeister III")
        s.store("set", SETTINGS_KEY, "StandardA", "415")
        s.start_server()
        s.start_program()
        f = Form(s)
        click(s, f.key("C"))  # the keyboard picture takes the letters
        s.key("ctrl+p")
        wait_for("the program's tone", lambda: s.streams("sink-inputs"), 30)

        def play_octave():
            for key in OCTAVE_KEYS:
                s.key(key)
                time.sleep(1.3)

        x = s.record_while(play_octave)
        s.key("ctrl+p")
        path = os.path.join(s.work, "octave.wav")
        with wave.open(path, "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(RATE)
            out.writeframes(np.asarray(x, dtype="<i2").tobytes())
        if args.shots:
            shutil.copy(path, os.path.join(args.shots, "octave.wav"))
        result = s.run([args.store_tool, "survey", path, "--top", "3"], timeout=60)
        print(result.stdout + result.stderr, flush=True)
        c.check(result.returncode == 0, "the survey ran (exit status %d)" % result.returncode)
        first = re.search(r"^  1  (.+?)\s{2,}(\d+ \(\S+\))\s+([\d.]+) Hz", result.stdout,
                          re.MULTILINE)
        c.check(first is not None and first.group(1) == "Werckmeister III" and
                first.group(2) == "0 (C)" and first.group(3) == "415.0",
                "first in the ranking: %s" % ((first.groups() if first else None),))
        c.check("12 of 12 notes within 1 cent" in result.stdout, "every note within a cent")


CASES = {
    "whats_this": case_whats_this,
    "typed_letter": case_typed_letter,
    "dead_shortcuts": case_dead_shortcuts,
    "focus_marks": case_focus_marks,
    "survey_recording": case_survey_recording,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--store-tool", required=True)
    parser.add_argument("--shots", help="keep the screenshots of the focus marks here")
    args = parser.parse_args()
    return run_case(lambda c: CASES[args.case](args, c))


if __name__ == "__main__":
    sys.exit(main())
