# SPDX-License-Identifier: GPL-3.0-or-later
"""End-to-end tests of Klavora's Scala files and tuning sheet: the real program
on a virtual display with a window manager, driven with the keyboard through
the toolkit's own file chooser and print dialog, and judged from outside: the
store read with the store tool, the window's table read back from
screenshots with tesseract, the saved and printed pages with poppler.
Usage:
    files_e2e.py CASE --program PATH --store-tool PATH --data DIR
Each case prints what it measured and ends with a "N passed, N failed" line."""

import argparse
import math
import os
import re
import subprocess
import sys
import time

import numpy as np

import e2e_sound
from e2e_session import Failure, Session, wait_for
from klavora_e2e import dismiss, run_case

SETTINGS = "SOFTWARE\\Klavora\\Settings"
TEMPERAMENTS = "SOFTWARE\\Klavora\\Temperaments"
STANDARD_A = 415.0

# The real-world scales and the name each is imported under (the
# description; the file's name where the description is blank).
GOOD = {
    "werckmeister3.scl": "Werckmeister III (1691)",
    "werckmeister3-crlf.scl": "Werckmeister III (1691), Windows line ends",
    "vallotti.scl": "Vallotti (file)",
    "kirnberger3.scl": "Kirnberger III (1779)",
    "meantone-quarter.scl": "1/4-comma meantone, wolf G#-Eb",
    "young2.scl": "Young No. 2 (1799)",
    "blank-description.scl": "blank-description",
}
# The files that are no scale of twelve notes to the octave, and what their
# message must say (as tesseract reads it).
BAD = {
    "seven-notes.scl": "7 notes per octave",
    "nineteen-tet.scl": "19 notes per octave",
    "bohlen-pierce.scl": "13 notes to a period of 1901.96 cents",
    "stretched-octave.scl": "repeats at 1203 cents",
}


def file_cents(path):
    """The file's twelve notes in cents above C, read here from its lines."""
    lines = [line.strip() for line in open(path, newline=None).read().splitlines()]
    lines = [line for line in lines if not line.startswith("!")]
    pitches = []
    for line in lines[2:]:
        if not line:
            continue
        word = line.split()[0]
        if "." in word:
            pitches.append(float(word))
        else:
            num, _, den = word.partition("/")
            pitches.append(1200 * math.log2(int(num) / int(den or 1)))
    return [0.0] + pitches[:11]


def expected_hertz(cents):
    """The Standard A octave from a file's notes: A at Standard A, the notes
    C to G# below it, A# and B above."""
    out = []
    for n in range(12):
        f = STANDARD_A * 2 ** (((cents[n] - cents[9]) % 1200) / 1200)
        out.append(f / 2 if n < 9 else f)
    return out


def prepare_store(s, exact=True):
    s.store("init")
    s.store("set", SETTINGS, "Temperament", "Werckmeister III")
    s.store("set", SETTINGS, "StandardA", "%g" % STANDARD_A)
    s.store("set", SETTINGS, "ExactTemperaments", "1" if exact else "0")


def stored(s):
    out = s.store("list", TEMPERAMENTS)
    return dict(line.split("\t", 1) for line in out.splitlines() if "\t" in line)


def start(s, *args):
    """The program with its arguments, in the session's folder, where the
    print dialog puts the file it prints to."""
    s.app = subprocess.Popen([s.program] + list(args), env=s.env, cwd=s.work,
                             stdout=subprocess.DEVNULL, stderr=open(s.stderr_path, "ab"))
    s.started.append(s.app)
    s.window = wait_for("the main window", s.main_window, 30, 0.2)


def window_named(s, pattern, timeout=10):
    return wait_for("a window named %s" % pattern, lambda: s.windows(pattern), timeout)[0]


def menu(s, key):
    """An item of the Temperament menu by its mnemonic."""
    s.key("alt+t")
    wait_for("the Temperament menu", s.popup_menu_open, 5)
    s.run(["xdotool", "key", key])


def choose_file(s, path, title, save=False):
    """Types a path into the toolkit's file chooser, as a user may: a save
    dialog offers a name, which the path replaces."""
    chooser = window_named(s, "^%s$" % re.escape(title))
    s.run(["xdotool", "windowactivate", "--sync", chooser])
    time.sleep(0.5)
    if save:
        s.run(["xdotool", "key", "ctrl+a"])
    s.run(["xdotool", "type", "--delay", "15", path])
    time.sleep(0.7)
    # A first Return may only take the chooser's completion of the name.
    for _ in range(3):
        s.run(["xdotool", "key", "Return"])
        try:
            return wait_for("the file chooser to close", lambda: chooser not in s.windows("."), 2)
        except Failure:
            pass
    raise Failure("the file chooser stayed open for " + path)


def message_text(s, caption):
    box = window_named(s, "^%s$" % re.escape(caption))
    text = s.read_text(box)
    return box, text


def import_preview(s, c, label, name=None):
    """The preview of a file that is shown: Import with the name given (the
    default one when None), the question answered Yes. True when a
    temperament was added."""
    try:
        preview = window_named(s, "^Import Scala File$", 10)
    except Failure:
        return False
    if c.check(s.window_type(preview) == "DIALOG", label + ": the preview shows"):
        shot = s.screenshot(preview, "preview")
        s.last_preview = shot
    if name is not None:
        s.key("ctrl+a", preview)
        s.run(["xdotool", "type", "--delay", "15", name])
    s.key("Return", preview)
    question = window_named(s, "^Save Temperament$", 10)
    s.key("Return", question)
    wait_for("the preview to close", lambda: not s.windows("^Import Scala File$"), 10)
    return True


def read_table(s):
    """The twelve values under and over the keys, as tesseract reads them:
    each label cut out alone from a screenshot of the main window."""
    shot = s.screenshot(s.window, "table")
    width, height, gray = e2e_sound.gray_image(shot)
    # The form lies where the banner's top row, its first long dark run,
    # begins: 10 by 11 pixels into the form.
    top = left = None
    for y in range(height):
        dark = np.concatenate(([False], gray[y] < 48, [False]))
        edges = np.flatnonzero(dark[1:] != dark[:-1])
        runs = [(a, b) for a, b in zip(edges[::2], edges[1::2]) if b - a >= 600]
        if runs:
            left, top = runs[0][0] - 10, y - 11
            break
    if top is None:
        return []
    values = []
    # The labels over the black keys and under the white keys, in form pixels.
    for y0, y1 in ((239, 258), (399, 416)):
        band = gray[top + y0:top + y1, left + 8:left + 346]
        columns = list((band < 128).any(axis=0)) + [False] * 6
        pieces, start, gap = [], None, 0
        for x, d in enumerate(columns):
            if d:
                start = x if start is None else start
                last, gap = x, 0
            elif start is not None:
                gap += 1
                if gap >= 4:
                    pieces.append((start, last))
                    start = None
        row = []
        for i, (a, b) in enumerate(pieces):
            crop = band[:, max(0, a - 2):b + 3]
            lines = np.flatnonzero((crop < 128).any(axis=1))
            crop = crop[max(0, lines[0] - 2):lines[-1] + 3]
            page = np.full((crop.shape[0] + 20, crop.shape[1] + 20), 255, np.uint8)
            page[10:-10, 10:-10] = crop
            path = os.path.join(s.work, "label%d.pgm" % i)
            with open(path, "wb") as f:
                f.write(b"P5\n%d %d\n255\n" % (page.shape[1], page.shape[0]) + page.tobytes())
            s.run(["convert", path, "-resize", "400%", path + ".png"], timeout=20)
            text = s.run(["tesseract", path + ".png", "stdout", "--psm", "7", "-c",
                          "tessedit_char_whitelist=0123456789.-"], timeout=20).stdout.strip()
            row.append(text)
        values.append(row)
    if len(values) != 2 or len(values[0]) != 5 or len(values[1]) != 7:
        return []
    black, white = values
    # C C# D D# E F F# G G# A A# B
    return [white[0], black[0], white[1], black[1], white[2], white[3], black[2], white[4],
            black[3], white[5], black[4], white[6]]


def check_hertz_tables(s, c, data, names):
    """Each imported temperament chosen at a start with the frequency table:
    the window's Hertz match the file's pitches."""
    for file, name in names.items():
        s.store("set", SETTINGS, "Temperament", name)
        s.store("set", SETTINGS, "View", "5")
        start(s)
        wanted = expected_hertz(file_cents(os.path.join(data, file)))
        shown = read_table(s)
        try:
            got = [float(v) for v in shown]
        except ValueError:
            got = []
        worst = max((abs(a - b) for a, b in zip(got, wanted)), default=None)
        c.check(len(got) == 12 and worst <= 0.01,
                "%s: the Hertz table %s matches the file (%s) within 0.01 Hz (off by %s)"
                % (name, shown, " ".join("%.2f" % f for f in wanted), worst))
        s.exit_program()


# --- the cases ------------------------------------------------------------------


def case_import_dialog(s, c, data):
    """Every test file through Temperament > Import Scala File... and the file
    chooser: the good ones added under their names, the others refused with a
    message that says what they are; then each one's Hertz table."""
    s.start_server()
    start(s)
    names = dict(GOOD)
    for file in list(GOOD) + list(BAD):
        menu(s, "i")
        choose_file(s, os.path.join(data, file), "Import Scala File")
        if file in BAD:
            box, text = message_text(s, "Import Scala File")
            c.check(BAD[file] in text, "%s: the message says \"%s\"" % (file, text))
            dismiss(s, box)
        else:
            # The catalogue has a Vallotti of its own: the editor's refusal
            # first, then another name.
            if file == "vallotti.scl":
                preview = window_named(s, "^Import Scala File$")
                s.key("Return", preview)
                box, text = message_text(s, "Save Temperament")
                c.check("already exists" in text, "vallotti.scl: the name is refused: " + text)
                dismiss(s, box)
                import_preview(s, c, file, names[file])
            else:
                import_preview(s, c, file)
    s.exit_program()
    have = stored(s)
    for file, name in names.items():
        c.check(name in have, "%s is stored as \"%s\" (%s)" % (file, name, have.get(name)))
    c.check(have.get("Werckmeister III (1691)") == "-6,-6,-6,0,0,-6,0,0,0,0,0,0",
            "read exactly, Werckmeister III's fifths are -6 and 0")
    check_hertz_tables(s, c, data, names)


def case_import_command_line(s, c, data):
    """klavora FILE.scl: the first start shows the preview over its window;
    each later start hands its file to that program and ends at once."""
    s.start_server()
    start(s, os.path.join(data, "werckmeister3.scl"))
    import_preview(s, c, "klavora werckmeister3.scl")
    for file in [f for f in list(GOOD) + list(BAD) if f != "werckmeister3.scl"]:
        began = time.monotonic()
        # One is named as a user in its folder names it, relative to there.
        relative = file == "vallotti.scl"
        later = s.run([s.program, file if relative else os.path.join(data, file)], timeout=20,
                      cwd=data if relative else s.work)
        took = time.monotonic() - began
        c.check(later.returncode == 0 and took < 10,
                "klavora %s handed the file over and ended (status %s after %.1f s)"
                % (file, later.returncode, took))
        if file in BAD:
            box, text = message_text(s, "Import Scala File")
            c.check(BAD[file] in text, "%s: the message says \"%s\"" % (file, text))
            dismiss(s, box)
        elif file == "vallotti.scl":
            import_preview(s, c, file, "Vallotti (file)")
        else:
            import_preview(s, c, file)
        c.check(len([w for w in s.windows() if s.window_type(w) == "NORMAL"]) == 1,
                "%s: still one main window" % file)
    s.exit_program()
    have = stored(s)
    missing = [n for n in list(GOOD.values()) + ["Vallotti (file)"] if n not in have]
    c.check(not missing, "every good file was imported (missing: %s)" % missing)


def pdf_text(s, path):
    info = s.run(["pdfinfo", path]).stdout
    pages = re.search(r"^Pages:\s+(\d+)", info, re.M)
    text = s.run(["pdftotext", "-layout", path, "-"]).stdout
    return (int(pages.group(1)) if pages else 0), " ".join(text.split())


def case_sheet(s, c, data):
    """Temperament > Tuning Sheet... for Werckmeister III, read exactly at
    415: the bearing changed to C4-C5, Save as PDF and as SVG through the file
    chooser, and Print through the print dialog to a file."""
    s.start_server()
    start(s)
    menu(s, "s")
    sheet = window_named(s, "^Tuning Sheet: Werckmeister III$")
    s.screenshot(sheet, "sheet")
    s.last_sheet = os.path.join(s.work, "sheet.png")
    s.key("alt+b", sheet)
    s.run(["xdotool", "key", "Down"])
    time.sleep(0.5)
    pdf = os.path.join(s.work, "w3.pdf")
    s.key("alt+p", sheet)
    choose_file(s, pdf, "Save Tuning Sheet as PDF", save=True)
    wait_for("the PDF file", lambda: os.path.exists(pdf), 10)
    pages, text = pdf_text(s, pdf)
    c.check(pages == 1, "the saved sheet has %d page(s)" % pages)
    c.check("Werckmeister III" in text and "Exact temperament" in text,
            "the page names the temperament and the arithmetic")
    c.check("Bearing C4-C5" in text, "the page has the bearing chosen in the window")
    # Beat rates worked out here from Werckmeister III's exact fifths: the
    # thirds C4-E4 and G4-B4, and the fifth C4-G4 tuned by a fourth down.
    c3 = expected_hertz([0, 90.225, 192.180, 294.135, 390.225, 498.045, 588.270, 696.090,
                         792.180, 888.270, 996.090, 1092.180])
    third = 4 * c3[4] - 5 * c3[0]
    c.check(re.search(r"C4-E4 %.1f wide" % third, text) is not None,
            "the sheet gives C4-E4 as %.1f wide: %s" % (third, text[:300]))
    svg = os.path.join(s.work, "w3.svg")
    s.key("alt+s", sheet)
    choose_file(s, svg, "Save Tuning Sheet as SVG", save=True)
    wait_for("the SVG file", lambda: os.path.exists(svg), 10)
    lint = s.run(["xmllint", "--noout", svg])
    c.check(lint.returncode == 0 and "<svg" in open(svg).read(),
            "the SVG file is well formed (%s)" % lint.stderr.strip())

    # The print dialog, printing to a file: it writes output.pdf beside the
    # program unless told otherwise.
    s.key("alt+r", sheet)
    dialog = window_named(s, "^Print$", 15)
    printed = os.path.join(s.work, "output.pdf")
    # The printers are listed a moment after the dialog shows.
    time.sleep(1.0)
    s.key("Down", dialog)
    time.sleep(0.5)
    s.key("Return", dialog)
    wait_for("the printed file", lambda: os.path.exists(printed) and os.path.getsize(printed) > 0,
             20)
    time.sleep(0.5)
    pages, text = pdf_text(s, printed)
    c.check(pages == 1 and open(printed, "rb").read(5) == b"%PDF-",
            "printing to a file made a one-page PDF (%d page(s))" % pages)
    c.check("Werckmeister III" in text and re.search(r"C4-E4 %.1f wide" % third, text),
            "the printed page holds the name and the beat rates")
    s.key("Escape", sheet)
    wait_for("Escape to close the sheet window", lambda: not s.windows("^Tuning Sheet: "), 5)
    s.exit_program()


CASES = {
    "scala_import_dialog": (case_import_dialog, 300),
    "scala_import_command_line": (case_import_command_line, 200),
    "tuning_sheet_window": (case_sheet, 120),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--store-tool", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--shots", help="a folder for the screenshots of the windows")
    args = parser.parse_args()
    fn, limit = CASES[args.case]

    def steps(c):
        with Session(args.program, args.store_tool, limit) as s:
            prepare_store(s)
            fn(s, c, args.data)
            if args.shots:
                for attr in ("last_preview", "last_sheet"):
                    if getattr(s, attr, None):
                        subprocess.run(["cp", getattr(s, attr), args.shots])
    return run_case(steps)


if __name__ == "__main__":
    sys.exit(main())
