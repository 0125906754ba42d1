# SPDX-License-Identifier: GPL-3.0-or-later
"""How fast a window's client answers: _NET_WM_PING sent to the window, timed
until the client's answer reaches the root window. A client answers from its
event loop, so a blocked user-interface thread shows as a slow or missing
answer. Talks to the X server with libX11 through ctypes."""

import ctypes
import ctypes.util
import threading
import time

_x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                            ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]

CLIENT_MESSAGE = 33
SUBSTRUCTURE_NOTIFY = 1 << 19
SUBSTRUCTURE_REDIRECT = 1 << 20


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


class Pinger:
    """Pings a window every interval seconds on a thread of its own and keeps
    the answer times; an unanswered ping counts from its sending until it is
    answered or the pinger stops."""

    def __init__(self, display, window, interval=0.05):
        self.dpy = _x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)
        self.root = _x11.XDefaultRootWindow(self.dpy)
        self.window = int(window)
        self.interval = interval
        self.protocols = _x11.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        self.ping = _x11.XInternAtom(self.dpy, b"_NET_WM_PING", 0)
        _x11.XSelectInput(self.dpy, self.root, SUBSTRUCTURE_NOTIFY)
        self.sent = {}      # stamp -> monotonic time sent
        self.answers = []   # (time sent, seconds to the answer)
        self.stop_flag = False
        self.thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop_flag = True
        self.thread.join(5)
        _x11.XCloseDisplay(self.dpy)
        return False

    def _send(self, stamp):
        ev = _Event()
        ev.client.type = CLIENT_MESSAGE
        ev.client.window = self.window
        ev.client.message_type = self.protocols
        ev.client.format = 32
        ev.client.data[0] = self.ping
        ev.client.data[1] = stamp
        ev.client.data[2] = self.window
        _x11.XSendEvent(self.dpy, self.window, 0, 0, ctypes.byref(ev))
        _x11.XFlush(self.dpy)
        self.sent[stamp] = time.monotonic()

    def _run(self):
        stamp = 1
        next_ping = 0.0
        ev = _Event()
        while not self.stop_flag:
            now = time.monotonic()
            if now >= next_ping:
                self._send(stamp)
                stamp += 1
                next_ping = now + self.interval
            while _x11.XPending(self.dpy):
                _x11.XNextEvent(self.dpy, ctypes.byref(ev))
                if (ev.type == CLIENT_MESSAGE and ev.client.message_type == self.protocols
                        and ev.client.data[0] == self.ping):
                    at = self.sent.pop(ev.client.data[1] & 0xFFFFFFFF, None)
                    if at is not None:
                        self.answers.append((at, time.monotonic() - at))
            time.sleep(0.005)

    def worst(self, since=0.0):
        """The longest wait for an answer among the pings sent after since,
        the ones still unanswered counted until now; and how many answered."""
        now = time.monotonic()
        waits = [d for at, d in self.answers if at >= since]
        waits += [now - at for at in self.sent.values() if at >= since]
        return (max(waits) if waits else None), len([1 for at, _ in self.answers if at >= since])
