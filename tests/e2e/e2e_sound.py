# SPDX-License-Identifier: GPL-3.0-or-later
"""The small analysis of the end-to-end tests: the frequencies in a recording,
and where the readout panels are in a screenshot."""

import subprocess

import numpy as np

RATE = 44100


def samples(raw):
    return np.frombuffer(raw[: len(raw) // 2 * 2], dtype="<i2").astype(np.float64)


def rms(x):
    return float(np.sqrt(np.mean(x * x))) if len(x) else 0.0


def _spectrum(x):
    n = len(x)
    size = 1 << (int(np.ceil(np.log2(n))) + 3)  # zero-padded eightfold
    return np.abs(np.fft.rfft(x * np.hanning(n), size)), size


def _refine(spectrum, k, size):
    """The peak at bin k, placed between bins by a parabola through the logs."""
    a, b, c = np.log(spectrum[k - 1: k + 2] + 1e-12)
    return (k + 0.5 * (a - c) / (a - 2 * b + c)) * RATE / size


def peaks(x, count, low=50.0, high=5000.0, apart=20.0):
    """The frequencies of the count strongest tones, lowest first."""
    spectrum, size = _spectrum(x)
    bins_hz = RATE / size
    lo, hi = int(low / bins_hz), int(high / bins_hz)
    work = spectrum.copy()
    work[:lo] = 0
    work[hi:] = 0
    found = []
    for _ in range(count):
        k = int(np.argmax(work))
        found.append(_refine(spectrum, k, size))
        span = int(apart / bins_hz)
        work[max(k - span, 0): k + span] = 0
    return sorted(found)


def longest_gap_ms(x, level):
    """The longest stretch, in milliseconds, over which the sound stays below
    level (a dropout in a steady tone)."""
    quiet = np.abs(x) < level
    longest = run = 0
    for q in quiet:
        run = run + 1 if q else 0
        longest = max(longest, run)
    return longest * 1000.0 / RATE


def tones(x, level=300, apart=0.2):
    """The stretches of a recording where something sounds, split where it is
    quiet for apart seconds or more."""
    loud = np.flatnonzero(np.abs(x) >= level)
    if len(loud) == 0:
        return []
    breaks = np.flatnonzero(np.diff(loud) > apart * RATE)
    starts = np.concatenate(([loud[0]], loud[breaks + 1]))
    ends = np.concatenate((loud[breaks], [loud[-1]]))
    return [x[a: b + 1] for a, b in zip(starts, ends) if b - a > RATE // 10]


def dropouts(x, frequency, level=300):
    """Where a recorded steady tone lost time: the milliseconds of silence
    inside it (the player sent silence, or the server ran dry), and the
    cycles missing besides those (the recording itself dropped sound)."""
    loud = np.flatnonzero(np.abs(x) >= level)
    if len(loud) < 2:
        return 0.0, 0.0
    x = x[loud[0]: loud[-1] + 1]
    quiet = np.abs(x) < level
    # Silence counts only in stretches longer than a quarter of a cycle, so
    # that the tone's own zero crossings are not taken for it.
    least = int(RATE / frequency / 4) + 2
    edges = np.flatnonzero(np.diff(np.concatenate(([0], quiet.astype(np.int8), [0]))))
    silent = sum(e - s for s, e in zip(edges[::2], edges[1::2]) if e - s >= least)
    crossings = np.count_nonzero((x[:-1] < 0) & (x[1:] >= 0))
    wanted = (len(x) - silent) * frequency / RATE
    return silent * 1000.0 / RATE, max(0.0, wanted - crossings)


def gray_image(png):
    """A screenshot as rows of 8-bit gray levels."""
    size = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True,
                          text=True, timeout=20).stdout.split()
    width, height = int(size[0]), int(size[1])
    raw = subprocess.run(["convert", png, "-colorspace", "gray", "-depth", "8", "gray:-"],
                         capture_output=True, timeout=20).stdout
    return width, height, np.frombuffer(raw, dtype=np.uint8).reshape(height, width)


def _dark_runs(row, least):
    dark = np.concatenate(([False], row < 16, [False]))
    edges = np.flatnonzero(dark[1:] != dark[:-1])
    return [(s, e) for s, e in zip(edges[::2], edges[1::2]) if e - s >= least]


def find_panels(width, height, gray):
    """The left and right readout panels. Below their text they are three
    black boxes side by side (two where a border shows), each narrower than half the window (the
    meter above them is one black band across); from there each panel's left
    edge, black from top to bottom, gives its height."""
    least = width // 8
    blocks = []  # [first row, last row, whether a row had all three boxes]
    for y in range(height):
        runs = _dark_runs(gray[y], least)
        if 2 <= len(runs) <= 3 and all(e - s < width // 2 for s, e in runs):
            if blocks and y == blocks[-1][1] + 1:
                blocks[-1][1] = y
            else:
                blocks.append([y, y, False])
            blocks[-1][2] = blocks[-1][2] or len(runs) == 3
    blocks = [b for b in blocks if b[2]]
    if not blocks:
        return []
    first = blocks[0][0]
    runs = _dark_runs(gray[first], least)
    boxes = []
    for s, e in (runs[0], runs[-1]):
        top = bottom = first
        while top > 0 and gray[top - 1, s + 3] < 16:
            top -= 1
        while bottom + 1 < height and gray[bottom + 1, s + 3] < 16:
            bottom += 1
        boxes.append((s + 2, top + 1, e - 2, bottom))
    return boxes


def write_panel(path, width, gray, x0, y0, x1, y1):
    """A panel as dark text on white with a margin, as tesseract reads best."""
    crop = 255 - gray[y0:y1, x0:x1]
    margin = 20
    page = np.full((crop.shape[0] + 2 * margin, crop.shape[1] + 2 * margin), 255, np.uint8)
    page[margin:-margin, margin:-margin] = crop
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (page.shape[1], page.shape[0]))
        f.write(page.tobytes())
