"""Shared helpers for the end-to-end tests: locating the built binaries, temporary working
folders, running the player as a user would (on a private Xvfb server, through its launcher) and
building test packages."""

import ctypes
import math
import os
import select
import shutil
import struct
import subprocess
import tempfile
import time
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD_DIR = os.path.abspath(os.environ.get("BV_BUILD_DIR") or os.path.join(HERE, "..", "..", "build"))
BVTOOL = os.path.join(BUILD_DIR, "bvtool")
PLAYER = os.path.join(BUILD_DIR, "brightvale")
DATA_DIR = os.path.join(HERE, "..", "data")


class WorkDir:
    """A fresh temporary folder, removed afterwards (use with 'with')."""

    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="bve2e-")
        return self

    def __exit__(self, *exc):
        os.chmod(self.path, 0o700)
        shutil.rmtree(self.path, ignore_errors=True)

    def file(self, *parts):
        return os.path.join(self.path, *parts)


def run(args, cwd=None, timeout=120, env=None, input_bytes=None):
    """Runs a command and returns the CompletedProcess (stdout and stderr as bytes)."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    return subprocess.run(args, cwd=cwd, timeout=timeout, env=full_env, input=input_bytes,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def bvtool(*args, cwd=None, timeout=300):
    return run([BVTOOL] + [str(a) for a in args], cwd=cwd, timeout=timeout)


def with_display(args):
    """Prefixes a command with xvfb-run when no X display is available."""
    if os.environ.get("DISPLAY"):
        return args
    return ["xvfb-run", "-a", "-s", "-noreset -screen 0 1280x1024x24"] + args


CAPTION = "Brightvale Engine v1.2"
LAUNCHER_SIZE = (461, 384)


class Launcher:
    """Window points to press in the launcher: the middle of each row and switch."""
    START = (318, 217)

    @staticmethod
    def resolution(row):
        return (87, [9, 35, 66, 97, 128, 159, 191, 222, 253, 284, 315, 347][row] + 13)

    @staticmethod
    def aspect(row):
        return (222, [8, 39, 70, 102][row] + 13)

    COMBINERS = (320, 328)
    GLSL = (320, 358)
    FULLSCREEN = (289, 20)
    ANTIALIASING = (289, 51)
    MUSIC = (289, 82)
    VBO = (289, 113)


class Screenshot:
    """An RGB picture of part of an X screen, also kept as a PNG file."""

    def __init__(self, path, width, height, rgb):
        self.path, self.width, self.height, self.rgb = path, width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])


class Display:
    """A private Xvfb server (use with 'with'): its own screen, pointer and keyboard, so that
    clicks and keys reach only the windows of the one run it serves, whatever runs beside it."""

    def __init__(self, server_args=()):
        self.server_args = list(server_args)

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"]
            + self.server_args, pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            if select.select([read_end], [], [], 0.5)[0]:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.endswith(b"\n"):
            self.server.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        self.server.terminate()
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()

    def env(self):
        return {"DISPLAY": self.name}

    def xdotool(self, *args):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=dict(os.environ, DISPLAY=self.name),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        return r.stdout.decode()

    def windows(self, name):
        """Ids of the visible windows titled exactly name."""
        pattern = "^%s$" % name.replace(".", r"\.")
        return [int(w) for w in self.xdotool("search", "--onlyvisible", "--name", pattern).split()]

    def geometry(self, window):
        """(x, y, width, height) of a window, or None when it is gone."""
        values = {}
        for line in self.xdotool("getwindowgeometry", "--shell", window).splitlines():
            key, _, value = line.partition("=")
            values[key] = value
        if "WIDTH" not in values:
            return None
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def press(self, window, x, y, hold=0.15):
        """Presses the left button at window point (x, y), holds it and releases it, then rests, as a
        hand does: long enough each way for a program that polls the mouse every few tens of
        milliseconds to see both the press and the release."""
        self.xdotool("mousemove", "--window", window, x, y)
        self.xdotool("mousedown", 1)
        time.sleep(hold)
        self.xdotool("mouseup", 1)
        time.sleep(hold)

    def key(self, window, name, hold=0.1):
        """Presses a key with the pointer over the window (the focus follows the pointer)."""
        self.xdotool("mousemove", "--window", window, 2, 2)
        self.xdotool("keydown", name)
        time.sleep(hold)
        self.xdotool("keyup", name)

    def close_window(self, window):
        """Asks a window to close the way a window manager does (WM_DELETE_WINDOW)."""
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):
            _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = x11.XOpenDisplay(self.name.encode())
        if not display:
            raise RuntimeError("cannot open " + self.name)
        event = Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        x11.XFlush(display)
        x11.XCloseDisplay(display)

    def screenshot(self, path, x, y, width, height):
        """The screen's rectangle at (x, y), as ImageMagick's import takes it; also saved at path."""
        subprocess.run(["import", "-display", self.name, "-window", "root", "-crop",
                        "%dx%d+%d+%d" % (width, height, x, y), "+repage", path], check=True, timeout=30)
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, stdout=subprocess.PIPE,
                             timeout=30).stdout
        return Screenshot(path, width, height, rgb)


class PlayerRun:
    """The player running in cwd on its own Display (use with 'with'); its output goes to files."""

    def __init__(self, cwd, args=(), env=None, server_args=(), timeout=120):
        self.cwd, self.args, self.extra_env, self.server_args = cwd, list(args), env or {}, server_args
        self.deadline = time.monotonic() + timeout

    def __enter__(self):
        self.display = Display(self.server_args).__enter__()
        self.stdout = tempfile.TemporaryFile()
        self.stderr = tempfile.TemporaryFile()
        full_env = dict(os.environ)
        full_env.update(self.extra_env)
        full_env.update(self.display.env())
        self.process = subprocess.Popen([PLAYER] + self.args, cwd=self.cwd, env=full_env, stdout=self.stdout,
                                        stderr=self.stderr)
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.display.__exit__(*exc)
        self.stdout.close()
        self.stderr.close()

    def wait_window(self, name, size=None, timeout=30):
        """The first visible window titled name (and of the given size) to appear, or None when the
        player ends first or nothing shows within timeout seconds."""
        deadline = min(self.deadline, time.monotonic() + timeout)
        while time.monotonic() < deadline:
            for window in self.display.windows(name):
                geometry = self.display.geometry(window)
                if geometry and (size is None or geometry[2:] == size):
                    return window
            if self.process.poll() is not None:
                return None
            time.sleep(0.03)
        return None

    def wait_launcher(self):
        return self.wait_window(CAPTION, LAUNCHER_SIZE)

    def launcher_gone(self, timeout):
        """Waits until no launcher window is left; False when one still is after timeout seconds."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return True
            sizes = [self.display.geometry(w) for w in self.display.windows(CAPTION)]
            if not any(g and g[2:] == LAUNCHER_SIZE for g in sizes):
                return True
            time.sleep(0.03)
        return False

    def start(self, window):
        """Presses Start demo; presses again if the launcher missed it (a press that ends before the
        launcher has begun to poll the mouse is never seen, as with a real mouse)."""
        for _ in range(5):
            self.display.press(window, *Launcher.START)
            if self.launcher_gone(3):
                return
        raise AssertionError("the launcher did not start the demo")

    def finish(self):
        """Waits for the player to end; returns a CompletedProcess with its output."""
        try:
            self.process.wait(max(1, self.deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise
        self.stdout.seek(0)
        self.stderr.seek(0)
        return subprocess.CompletedProcess([PLAYER] + self.args, self.process.returncode, self.stdout.read(),
                                           self.stderr.read())


def brightvale(cwd, args=(), timeout=120, env=None, choose=(), start=True, after_start=None, server_args=()):
    """Runs the player in cwd as a user would, on a private X server: waits for the launcher,
    presses each window point in choose (see Launcher), presses Start demo, then calls
    after_start(run) with the PlayerRun when given, and waits for the player to end. Returns a
    CompletedProcess (stdout and stderr as bytes). server_args go to Xvfb."""
    with PlayerRun(cwd, args, env, server_args, timeout) as run:
        window = run.wait_launcher()
        if window is not None:
            for point in choose:
                run.display.press(window, *point)
            if start:
                run.start(window)
        if after_start:
            after_start(run)
        return run.finish()


def read_log(cwd):
    with open(os.path.join(cwd, "demo.log"), "rb") as f:
        return f.read()


def pack_text(text):
    """A document or model in the packed form, made with Python's own zlib."""
    if isinstance(text, str):
        text = text.encode("utf-8")
    return struct.pack("<I", len(text)) + zlib.compress(text, 9)


def write_bytes(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def make_package(workdir, package_name, entries):
    """Packs {entry name: bytes} (in the given order) into workdir/package_name with bvtool."""
    src = os.path.join(workdir, "_package_src")
    names = []
    for name, data in entries:
        write_bytes(os.path.join(src, name), data)
        names.append(name)
    result = bvtool("pack", os.path.join(workdir, package_name), "-C", src, *names)
    if result.returncode != 0:
        raise RuntimeError("bvtool pack failed: " + result.stderr.decode())
    shutil.rmtree(src)


HEADER = b"Brightvale Engine v1.2\r\n"
SEPARATOR = b"=" * 74 + b"\r\n"
# What the capability tests log on Mesa's llvmpipe (OpenGL 4.5 with every extension tested),
# on the GLSL path with VBO support switched on.
MESA_GLSL_CAPABILITIES = (SEPARATOR + b"VBO support detected.\r\n" + b"PBO support detected.\r\n"
                          + b"NPOT texture support detected.\r\n" + b"Texture compression support detected.\r\n"
                          + b"EXT_framebuffer_object support detected.\r\n" + b"Using GLSL shaders.\r\n"
                          + SEPARATOR)

# The audio device is opened with music on; tests without sound use SDL's silent dummy driver.
QUIET_AUDIO = {"SDL_AUDIODRIVER": "dummy"}


def empty_document(sections=15, top="demo"):
    """A scene document with the given number of empty sections."""
    return "<%s>\n%s</%s>\n" % (top, "".join("  <s%d/>\n" % (i + 1) for i in range(sections)), top)


def startup_log(package_name):
    """The log lines up to and including the capability tests."""
    return (HEADER + b"Found " + package_name.encode() + b".\r\n" + b"Starting the demo.\r\n"
            + MESA_GLSL_CAPABILITIES)

TESTDEMO = os.path.join(BUILD_DIR, "testdemo", "testdemo.dpk")


def make_tone_ogg(path):
    """A 3 s stereo tone (440 Hz left, 660 Hz right) encoded by oggenc."""
    wav = path + ".wav"
    with wave.open(wav, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(b"".join(struct.pack("<hh", int(9000 * math.sin(2 * math.pi * 440 * i / 44100)),
                                           int(7000 * math.sin(2 * math.pi * 660 * i / 44100 + 0.4)))
                               for i in range(44100 * 3)))
    subprocess.run(["oggenc", "-Q", "-q", "4", wav, "-o", path], check=True)
    os.remove(wav)
