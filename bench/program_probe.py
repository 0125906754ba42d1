#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measurements of bench_program.sh that need an X client or an audio analysis.

first-map LOG COMMAND...   starts COMMAND and writes "done PID MAP_S PAINT_S" to
                           LOG: seconds from exec to the map of its first
                           top-level window, and to the first drawing on screen
                           after that map (XDamage on the root window).
play-latency PID KEY       presses KEY in PID's window with xdotool and prints
                           the seconds until sound arrives at the null sink's
                           monitor (parec), or "-" if none came within 3 s.
"""
import ctypes
import ctypes.util
import os
import select
import struct
import subprocess
import sys
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XAnyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong)]


class XEvent(ctypes.Union):
    _fields_ = [("any", XAnyEvent), ("pad", ctypes.c_long * 24)]


def first_map(log, command):
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    damage = ctypes.CDLL(ctypes.util.find_library("Xdamage"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    damage.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                             ctypes.POINTER(ctypes.c_int)]
    damage.XDamageCreate.restype = ctypes.c_ulong
    damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
    damage.XDamageSubtract.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                       ctypes.c_ulong]

    dpy = x11.XOpenDisplay(None)
    if not dpy:
        open(log, "w").write("done 0 -\n")
        return
    root = x11.XDefaultRootWindow(dpy)
    x11.XSelectInput(dpy, root, SUBSTRUCTURE_NOTIFY_MASK)
    event_base = ctypes.c_int(0)
    error_base = ctypes.c_int(0)
    has_damage = damage.XDamageQueryExtension(dpy, ctypes.byref(event_base),
                                              ctypes.byref(error_base))
    root_damage = damage.XDamageCreate(dpy, root, 3) if has_damage else 0  # ReportNonEmpty
    x11.XSync(dpy, 0)
    fd = x11.XConnectionNumber(dpy)

    # Drain what happened before the start.
    event = XEvent()
    while x11.XPending(dpy):
        x11.XNextEvent(dpy, ctypes.byref(event))
    if root_damage:
        damage.XDamageSubtract(dpy, root_damage, 0, 0)
        x11.XSync(dpy, 0)
        while x11.XPending(dpy):
            x11.XNextEvent(dpy, ctypes.byref(event))

    t0 = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = None
    painted = None
    deadline = t0 + 10.0
    while time.monotonic() < deadline and painted is None:
        if not x11.XPending(dpy):
            select.select([fd], [], [], 0.05)
            continue
        x11.XNextEvent(dpy, ctypes.byref(event))
        now = time.monotonic()
        if event.any.type == MAP_NOTIFY and mapped is None:
            mapped = now - t0
        elif root_damage and event.any.type == event_base.value and mapped is not None:
            painted = now - t0
        if root_damage and event.any.type == event_base.value:
            damage.XDamageSubtract(dpy, root_damage, 0, 0)

    def fmt(v):
        return "%.3f" % v if v is not None else "-"

    with open(log, "w") as out:
        out.write("done %d %s %s\n" % (child.pid, fmt(mapped), fmt(painted)))


def play_latency(pid, key):
    windows = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", pid],
                             capture_output=True, text=True).stdout.split()
    if not windows:
        print("-")
        return
    rec = subprocess.Popen(["parec", "--raw", "--rate=44100", "--channels=1",
                            "--format=s16le", "--latency-msec=10"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        fd = rec.stdout.fileno()
        os.set_blocking(fd, False)

        def read_for(seconds, until_loud):
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                r, _, _ = select.select([fd], [], [], 0.01)
                if not r:
                    continue
                data = os.read(fd, 4096)
                now = time.monotonic()
                if until_loud and len(data) >= 2:
                    samples = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])
                    if max(abs(s) for s in samples) > 1000:
                        return now
            return None

        # A new recording first delivers up to a second of earlier audio.
        read_for(1.5, False)
        subprocess.run(["xdotool", "windowfocus", "--sync", windows[0]],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pressed = time.monotonic()
        subprocess.run(["xdotool", "key", "--clearmodifiers", key],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        heard = read_for(3.0, True)
        subprocess.run(["xdotool", "key", "--clearmodifiers", key],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        print("%.3f" % (heard - pressed) if heard is not None else "-")
    finally:
        rec.terminate()
        rec.wait()


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "first-map":
        first_map(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) == 4 and sys.argv[1] == "play-latency":
        play_latency(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
