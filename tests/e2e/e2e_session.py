# SPDX-License-Identifier: GPL-3.0-or-later
"""What the end-to-end tests drive Klavora with: a virtual display of its own
with a window manager, a private sound server that a test may stop and start
again, the real program over a fresh store, keys sent with xdotool, sound
recorded with parec and played in with sox and pacat, the window read back
from screenshots with tesseract. Every process started here is ended here, by
its process id, and the whole session has a time limit."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import e2e_sound

SINK = "klavora_null"
RATE = 44100


class Failure(Exception):
    pass


class TimeUp(Exception):
    pass


def _on_alarm(signum, frame):
    raise TimeUp("the test ran out of time")


def wait_for(what, fn, timeout, step=0.05):
    """Calls fn until it returns something true; fails after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(step)


class Session:
    def __init__(self, program, store_tool, limit_s, screen="1280x1024x24"):
        self.program = program
        self.screen = screen
        self.store_tool = store_tool
        self.limit_s = limit_s
        self.work = tempfile.mkdtemp(prefix="klavora-e2e.")
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("KLAVORA_DEBUG", "PULSE_SERVER", "DISPLAY", "WAYLAND_DISPLAY")}
        self.env["XDG_RUNTIME_DIR"] = os.path.join(self.work, "runtime")
        self.env["PULSE_RUNTIME_PATH"] = os.path.join(self.work, "runtime", "pulse")
        self.env["KLAVORA_STORE"] = os.path.join(self.work, "klavora.db")
        self.env["HOME"] = self.work
        os.makedirs(self.env["PULSE_RUNTIME_PATH"])
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.started = []  # every process started here, ended in reverse
        self.app = None
        self.window = None
        self.stderr_path = os.path.join(self.work, "klavora.err")
        self.server_log = os.path.join(self.work, "pulse.log")

    # --- the session as a whole ---------------------------------------------

    def __enter__(self):
        signal.signal(signal.SIGALRM, _on_alarm)
        signal.alarm(self.limit_s)
        self._start_display()
        return self

    def __exit__(self, *exc):
        signal.alarm(0)
        self.stop_tones()
        if self.app is not None and self.app.poll() is None:
            for pid in self.descendants(self.app.pid):
                _kill(pid)
        for proc in reversed(self.started):
            _end(proc)
        self.stop_server()
        shutil.rmtree(self.work, ignore_errors=True)
        return False

    def run(self, args, timeout=10, **kw):
        return subprocess.run(args, env=self.env, timeout=timeout, capture_output=True,
                              text=True, **kw)

    def spawn(self, args, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        proc = subprocess.Popen(args, env=self.env, **kw)
        self.started.append(proc)
        return proc

    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen,
                           "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        end = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < end:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            raise Failure("Xvfb did not start (exit %s)" % xvfb.poll())
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.spawn(["openbox", "--sm-disable"])
        wait_for("the window manager",
                 lambda: "window id" in self.run(["xprop", "-root",
                                                  "_NET_SUPPORTING_WM_CHECK"]).stdout, 20)

    # --- the sound server -----------------------------------------------------

    def server_pid(self):
        try:
            with open(os.path.join(self.env["PULSE_RUNTIME_PATH"], "pid")) as f:
                pid = int(f.read().split()[0])
            os.kill(pid, 0)
            return pid
        except (OSError, ValueError, IndexError):
            return None

    def start_server(self):
        # At debug level the server logs every underrun of a playback stream.
        result = self.run(["pulseaudio", "-D", "--exit-idle-time=-1", "-n", "--disable-shm=true",
                           "--log-level=debug", "--log-target=file:" + self.server_log,
                           "--load=module-null-sink sink_name=" + SINK,
                           "--load=module-native-protocol-unix"], timeout=20)
        if result.returncode != 0:
            raise Failure("the sound server did not start: " + result.stderr)
        wait_for("the sound server", lambda: self.run(["pactl", "info"]).returncode == 0, 10)
        self.run(["pactl", "set-default-sink", SINK])
        self.run(["pactl", "set-default-source", SINK + ".monitor"])

    def stop_server(self):
        pid = self.server_pid()
        if pid is None:
            return
        self.run(["pulseaudio", "--kill"])
        try:
            wait_for("the sound server to end", lambda: self.server_pid() is None, 5)
        except Failure:
            _kill(pid)

    def server_underruns(self):
        """How many times the server has run out of the program's sound so
        far (its playback streams are the ALSA plug-in's)."""
        try:
            with open(self.server_log, errors="replace") as f:
                return f.read().count("Implicit underrun of 'ALSA Playback'")
        except OSError:
            return 0

    def helper_counts(self):
        """The sound helper's own count for its last playback streams, when
        the program's debug output is on: the callbacks that found no buffer
        (the program late) and the underflows the sound system reported."""
        try:
            with open(self.stderr_path, errors="replace") as f:
                found = re.findall(r"Playback stream: (\d+) callbacks, (\d+) found no buffer "
                                   r"queued, (\d+) underflows", f.read())
        except OSError:
            found = []
        if not found:
            return ""
        dry = sum(int(d) for _, d, _ in found)
        late = sum(int(u) for _, _, u in found)
        return (", the helper found no buffer queued %d times and heard of %d underflows"
                % (dry, late))

    def streams(self, kind):
        """The server's playback ("sink-inputs") or recording ("source-outputs")
        streams that run: not corked, and there at two looks a fifth of a
        second apart. The sound helper's format checks open a stream for a
        few milliseconds each, and the server lists it corked or not at all;
        taking one of those for the program's stream would start a recording
        before the program plays."""
        def running():
            out = self.run(["pactl", "list", kind]).stdout
            found = set()
            for block in re.split(r"\n(?=\S)", out):
                number = re.match(r"\s*\S.*#(\d+)", block)
                if number and re.search(r"^\s*Corked: no\s*$", block, re.M):
                    found.add(number.group(1))
            return found
        first = running()
        if not first:
            return []
        time.sleep(0.2)
        return sorted(first & running())

    def playback_latency_ms(self):
        """How much of the playback streams' sound the server holds (the most)."""
        out = self.run(["pacmd", "list-sink-inputs"]).stdout
        found = [float(v) for v in re.findall(r"current latency: ([\d.]+) ms", out)]
        return max(found) if found else None

    # --- sound in and out -------------------------------------------------------

    def record(self, seconds):
        """What the program plays, from the sink's monitor, with the first
        second dropped (a new monitor recording starts with earlier sound)."""
        path = os.path.join(self.work, "record.raw")
        with open(path, "wb") as out:
            proc = self.spawn(["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le",
                               "--rate=%d" % RATE, "--channels=1", "--latency-msec=50"],
                              stdout=out)
            time.sleep(seconds + 1.0)
            _end(proc)
        with open(path, "rb") as f:
            return e2e_sound.samples(f.read())[RATE:]

    def record_while(self, fn):
        """What is played while fn runs, from the sink's monitor: the
        recording starts early enough that the earlier sound it first
        delivers ends before fn begins, and goes on for a second after."""
        path = os.path.join(self.work, "record.raw")
        with open(path, "wb") as out:
            proc = self.spawn(["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le",
                               "--rate=%d" % RATE, "--channels=1", "--latency-msec=50"],
                              stdout=out)
            time.sleep(1.5)
            fn()
            time.sleep(1.0)
            _end(proc)
        with open(path, "rb") as f:
            return e2e_sound.samples(f.read())[RATE:]

    def play_tone(self, frequency, seconds=60):
        """A sine tone into the sink, so that the program hears it."""
        sox = self.spawn(["sox", "-n", "-t", "raw", "-r", str(RATE), "-e", "signed", "-b", "16",
                          "-c", "1", "-", "synth", str(seconds), "sine", str(frequency),
                          "vol", "0.5"], stdout=subprocess.PIPE)
        pacat = self.spawn(["pacat", "-d", SINK, "--raw", "--format=s16le", "--rate=%d" % RATE,
                            "--channels=1", "--latency-msec=50"], stdin=sox.stdout)
        sox.stdout.close()
        self.tones = getattr(self, "tones", []) + [sox, pacat]

    def stop_tones(self):
        for proc in getattr(self, "tones", []):
            _end(proc)
        self.tones = []

    # --- the store ----------------------------------------------------------------

    def store(self, *args):
        result = self.run([self.store_tool] + list(args))
        if result.returncode != 0:
            raise Failure("klavora-store %s: %s" % (" ".join(args), result.stderr))
        return result.stdout

    def settings(self):
        out = self.store("list", "SOFTWARE\\Klavora\\Settings")
        return dict(line.split("\t", 1) for line in out.splitlines() if "\t" in line)

    # --- the program ----------------------------------------------------------------

    def start_program(self, step=0.2):
        self.app = subprocess.Popen([self.program], env=self.env, stdout=subprocess.DEVNULL,
                                    stderr=open(self.stderr_path, "ab"))
        self.started.append(self.app)
        self.window = wait_for("the main window", self.main_window, 30, step)
        return self.app

    def windows(self, name="^Klavora$"):
        out = self.run(["xdotool", "search", "--onlyvisible", "--name", name]).stdout
        return [w for w in out.split()]

    def window_type(self, window):
        out = self.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"]).stdout
        return out.split("_NET_WM_WINDOW_TYPE_")[-1].split(",")[0].strip() if "=" in out else ""

    def main_window(self):
        found = [w for w in self.windows() if self.window_type(w) == "NORMAL"]
        return found[0] if len(found) == 1 else None

    def message_box(self):
        """A visible dialog window captioned Klavora."""
        found = [w for w in self.windows() if w != self.window and self.window_type(w) == "DIALOG"]
        return found[0] if found else None

    def key(self, keys, window=None):
        self.run(["xdotool", "windowactivate", "--sync", window or self.window], timeout=10)
        self.run(["xdotool", "key", "--clearmodifiers", keys])

    def popup_menu_open(self):
        for w in self.windows("."):
            out = self.run(["xprop", "-id", w, "_NET_WM_WINDOW_TYPE"]).stdout
            if "POPUP_MENU" in out or "DROPDOWN_MENU" in out:
                return True
        return False

    def exit_program(self, timeout=15):
        self.key("alt+f")
        wait_for("the File menu", self.popup_menu_open, 5)
        self.run(["xdotool", "key", "x"])
        end = time.monotonic() + timeout
        while self.app.poll() is None:
            if time.monotonic() > end:
                raise Failure("the program did not end within %d s of File > Exit" % timeout)
            time.sleep(0.1)
        return self.app.returncode

    def stderr_bytes(self):
        return os.path.getsize(self.stderr_path)

    def descendants(self, pid):
        children = {}
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/stat" % entry) as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                    children.setdefault(int(fields[1]), []).append(int(entry))
                except (OSError, IndexError):
                    pass
        found, todo = [], [pid]
        while todo:
            for child in children.get(todo.pop(), []):
                found.append(child)
                todo.append(child)
        return found

    def cpu_seconds(self):
        """Processor time used so far by the program and its helpers."""
        total = 0
        for pid in [self.app.pid] + self.descendants(self.app.pid):
            try:
                with open("/proc/%d/stat" % pid) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                total += int(fields[11]) + int(fields[12])
            except (OSError, IndexError):
                pass
        return total / os.sysconf("SC_CLK_TCK")

    def cpu_share(self, seconds):
        start_cpu, start = self.cpu_seconds(), time.monotonic()
        time.sleep(seconds)
        return (self.cpu_seconds() - start_cpu) / (time.monotonic() - start)

    # --- reading the window ---------------------------------------------------------

    def screenshot(self, window, name="shot"):
        path = os.path.join(self.work, name + ".png")
        self.run(["import", "-window", window, path], timeout=10)
        return path

    def read_text(self, window, psm=6):
        """The text of a window, as tesseract reads it (psm 6 for a block of
        text such as a message box, 11 for text scattered over a window)."""
        result = self.run(["tesseract", self.screenshot(window), "stdout", "--psm", str(psm)],
                          timeout=20)
        return " ".join(result.stdout.split())

    def read_status(self):
        """The text at the right of the status bar, where the tuner's state shows."""
        shot = self.screenshot(self.window)
        path = os.path.join(self.work, "status.png")
        # The bottom 24 pixels of the right 40%: ImageMagick would read
        # "40%x24" as a percentage of the height too.
        size = self.run(["identify", "-format", "%w", shot], timeout=20).stdout.split()
        width = int(size[0]) * 2 // 5
        self.run(["convert", shot, "-gravity", "SouthEast", "-crop", "%dx24+0+0" % width,
                  "+repage", "-resize", "300%", path], timeout=20)
        result = self.run(["tesseract", path, "stdout", "--psm", "7"], timeout=20)
        return " ".join(result.stdout.split())

    def read_panels(self, shot=None):
        """The texts of the readout panels beside the note name, from a
        screenshot of the main window (a new one unless given)."""
        shot = shot or self.screenshot(self.window)
        width, height, gray = e2e_sound.gray_image(shot)
        texts = []
        for n, (x0, y0, x1, y1) in enumerate(e2e_sound.find_panels(width, height, gray)):
            path = os.path.join(self.work, "panel%d.pgm" % n)
            e2e_sound.write_panel(path, width, gray, x0, y0, x1, y1)
            result = self.run(["tesseract", path, "stdout", "--psm", "7"], timeout=20)
            texts.append(" ".join(result.stdout.split()).replace("\u2014", "-")
                         .replace("\u2013", "-"))
        return " | ".join(texts)

    def read_panels_until(self, pattern, timeout, timed=True):
        """The panels' text and the time of the first screenshot whose text
        matches, or None. Timed, the screenshots come as fast as they can and
        are read afterwards (reading is slower than taking them)."""
        start = time.monotonic()
        shots = []
        text = ""
        if not timed:
            while time.monotonic() - start < timeout:
                text = self.read_panels()
                if re.search(pattern, text):
                    return text, time.monotonic() - start
            return text, None
        while time.monotonic() - start < timeout:
            at = time.monotonic() - start
            shots.append((at, self.screenshot(self.window, "panels%03d" % len(shots))))
            if len(shots) % 8 == 0 and re.search(pattern, self.read_panels(shots[-1][1])):
                break
        for at, shot in shots:
            text = self.read_panels(shot)
            if re.search(pattern, text):
                return text, at
        return text, None


def _end(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(3)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(3)


def _kill(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except OSError:
        pass
