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

# The player under test: the native build's, or the Windows build's run by Wine (BV_TARGET=windows,
# BV_WINDOWS_BUILD naming its folder). The tests' own tools (bvtool pack and the rest) stay native.
TARGET = os.environ.get("BV_TARGET", "native")
WINDOWS_BUILD = os.path.abspath(os.environ.get("BV_WINDOWS_BUILD")
                                or os.path.join(HERE, "..", "..", "build-win", "x86_64"))
WINE = os.environ.get("BV_WINE", "/usr/lib/wine/wine64")
WINDOWS = TARGET == "windows"


def player_command():
    if WINDOWS:
        return [WINE, os.path.join(WINDOWS_BUILD, "brightvale.exe")]
    return [PLAYER]


def bvtool_command():
    """bvtool of the target under test (for the tests that check bvtool itself on each target)."""
    if WINDOWS:
        return [WINE, os.path.join(WINDOWS_BUILD, "bvtool.exe")]
    return [BVTOOL]


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


def target_bvtool(*args, cwd=None, timeout=300, session=None):
    """bvtool of the target under test, on a display (and for Windows in a Wine prefix of its own,
    or the session's)."""
    args = [str(a) for a in args]
    if not WINDOWS:
        return run(with_display([BVTOOL] + args), cwd=cwd, timeout=timeout)
    if session:
        return run(bvtool_command() + args, cwd=cwd, timeout=timeout, env=session.env())
    with Display() as display, WinePrefix() as wine:
        env = dict(display.env(), **wine.env())
        return run(bvtool_command() + args, cwd=cwd, timeout=timeout, env=env)


class Session:
    """One X server (and for Windows one Wine prefix, its wineserver kept running) for a test that
    makes many short runs one after another (use with 'with'): Wine's start-up is paid once."""

    def __enter__(self):
        self.display = Display().__enter__()
        self.wine = None
        if WINDOWS:
            self.wine = WinePrefix().__enter__()
            subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), "-p"], env=self.env(), timeout=60)
        return self

    def env(self):
        env = dict(self.display.env())
        if self.wine:
            env.update(self.wine.env())
        return env

    def __exit__(self, *exc):
        if self.wine:
            self.wine.__exit__(*exc)
        self.display.__exit__(*exc)


def with_display(args):
    """Prefixes a command with xvfb-run when no X display is available."""
    if os.environ.get("DISPLAY"):
        return args
    return ["xvfb-run", "-a", "-s", "-noreset -screen 0 1280x1024x24"] + args


CAPTION = "Brightvale Engine v1.2"
SCREEN_SIZE = (1280, 1024)  # every private Xvfb screen
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
        self.x11 = None

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
        if self.x11 is not None:
            self.x11.close()
            self.x11 = None
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

    def press(self, window, x, y, reacted=None, timeout=10):
        """Presses the left button at window point (x, y) and holds it until the program has reacted,
        then releases it: for a program that polls the mouse now and then, the press lasts as long as
        it needs, however loaded the machine. reacted() says so; by default the window's picture must
        change (or the window go). Returns whether it reacted within timeout seconds."""
        before = self.window_picture(window)
        if reacted is None:
            def reacted():
                now = self.window_picture(window)
                return now is None or before is None or now.rgb != before.rgb
        self.xdotool("mousemove", "--window", window, x, y)
        self.xdotool("mousedown", 1)
        seen = wait_until(reacted, timeout)
        self.xdotool("mouseup", 1)
        return seen

    def click(self, window, x, y):
        """A press and release at once, for a window that reads button events from its queue."""
        self.xdotool("mousemove", "--window", window, x, y)
        self.xdotool("mousedown", 1)
        self.xdotool("mouseup", 1)

    def key(self, window, name, reacted=None, timeout=20):
        """Presses a key with the pointer over the window (the focus follows the pointer) and holds it
        until reacted() (by default: until the window is gone); returns whether it reacted."""
        if reacted is None:
            def reacted():
                return window not in self.windows_any()
        self.xdotool("mousemove", "--window", window, 2, 2)
        # Without a window manager Wine's windows take keys only once focused; others follow the pointer.
        self.xdotool("windowfocus", window)
        self.xdotool("keydown", name)
        seen = wait_until(reacted, timeout)
        self.xdotool("keyup", name)
        return seen

    def windows_any(self):
        """Ids of every visible window."""
        return [int(w) for w in self.xdotool("search", "--onlyvisible", "--name", "").split()]

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

    def grab(self, x, y, width, height):
        """The screen's rectangle at (x, y) as a Screenshot (not saved), read straight from the
        server: cheap enough to poll."""
        if self.x11 is None:
            self.x11 = Xlib(self.name)
        return Screenshot(None, width, height, self.x11.grab(x, y, width, height))

    def screenshot(self, path, x, y, width, height):
        """The screen's rectangle at (x, y), also saved at path as a PNG."""
        shot = self.grab(x, y, width, height)
        write_png(path, width, height, shot.rgb)
        shot.path = path
        return shot

    def window_picture(self, window):
        """What a window shows now (its part on the screen), or None when it is gone."""
        geometry = self.geometry(window)
        if geometry is None:
            return None
        x, y, width, height = geometry
        x0, y0 = max(x, 0), max(y, 0)
        x1, y1 = min(x + width, SCREEN_SIZE[0]), min(y + height, SCREEN_SIZE[1])
        if x1 <= x0 or y1 <= y0:
            return None
        return self.grab(x0, y0, x1 - x0, y1 - y0)


def wait_until(condition, timeout, step=0.02):
    """Polls condition() until it is true (returns True) or timeout seconds pass (returns False)."""
    deadline = time.monotonic() + timeout
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(step)


def write_png(path, width, height, rgb):
    """An 8-bit RGB PNG, written with Python's zlib."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    stride = width * 3
    raw = b"".join(b"\0" + bytes(rgb[y * stride:(y + 1) * stride]) for y in range(height))
    write_bytes(path, b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


class Xlib:
    """One connection to an X server, for reading pixels off its root window (XGetImage)."""

    class Image(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                    ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                    ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                    ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                    ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                    ("obdata", ctypes.c_void_p), ("create_image", ctypes.c_void_p),
                    ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p))]

    def __init__(self, name):
        self.lib = ctypes.CDLL("libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.lib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.lib.XGetImage.restype = ctypes.POINTER(Xlib.Image)
        self.lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                       ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.lib.XOpenDisplay(name.encode())
        if not self.display:
            raise RuntimeError("cannot open " + name)
        self.root = self.lib.XDefaultRootWindow(self.display)

    def grab(self, x, y, width, height):
        """RGB bytes of a rectangle of the root window (a 24-bit TrueColor screen, as Xvfb's)."""
        image = self.lib.XGetImage(self.display, self.root, x, y, width, height, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            raise RuntimeError("XGetImage failed")
        im = image.contents
        if im.bits_per_pixel != 32:
            raise RuntimeError("unexpected pixel size %d" % im.bits_per_pixel)
        raw = ctypes.string_at(im.data, im.bytes_per_line * height)
        rgb = bytearray(width * height * 3)
        for row in range(height):
            line = raw[row * im.bytes_per_line:row * im.bytes_per_line + width * 4]
            # Little-endian 0x00RRGGBB words: B, G, R, pad in memory.
            rgb[row * width * 3 + 0:(row + 1) * width * 3:3] = line[2::4]
            rgb[row * width * 3 + 1:(row + 1) * width * 3:3] = line[1::4]
            rgb[row * width * 3 + 2:(row + 1) * width * 3:3] = line[0::4]
        im.destroy_image(ctypes.cast(image, ctypes.c_void_p))
        return bytes(rgb)

    def close(self):
        self.lib.XCloseDisplay(self.display)


class WinePrefix:
    """A private Wine prefix for one run (use with 'with'), copied from a template that is made once
    per Wine version (wineboot takes seconds; a copy of hard links, a fraction of one). Each run has
    its own wineserver, so runs on separate X servers never share Wine's desktop."""

    TEMPLATE_ROOT = os.path.join(os.environ.get("BV_CACHE_DIR") or os.path.join(os.path.expanduser("~"), ".cache",
                                                                                 "brightvale"), "wine")

    @classmethod
    def template(cls):
        version = subprocess.run([WINE, "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 timeout=60).stdout.decode().strip() or "wine"
        path = os.path.join(cls.TEMPLATE_ROOT, version.replace(" ", "_"))
        os.makedirs(cls.TEMPLATE_ROOT, exist_ok=True)
        import fcntl
        with open(path + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)  # parallel tests make it once
            if not os.path.exists(os.path.join(path, "system.reg")):
                shutil.rmtree(path, ignore_errors=True)
                env = dict(os.environ, WINEPREFIX=path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
                # Wine's desktop process starts with the prefix and needs an X server.
                with Display() as display:
                    env.update(display.env())
                    subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, timeout=300, check=True)
                    subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), "-w"], env=env,
                                   timeout=120)
        return path

    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="bvwine-")
        os.rmdir(self.path)
        template = WinePrefix.template()
        subprocess.run(["cp", "-al", template, self.path], check=True, timeout=120)
        # The registry files are rewritten while Wine runs: each run gets copies of its own.
        for name in os.listdir(template):
            if name.endswith(".reg"):
                os.remove(os.path.join(self.path, name))
                shutil.copy2(os.path.join(template, name), os.path.join(self.path, name))
        return self

    def env(self):
        return {"WINEPREFIX": self.path, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}

    def __exit__(self, *exc):
        subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), "-k"], env=dict(os.environ, **self.env()),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(self.path, ignore_errors=True)


class PlayerRun:
    """The player running in cwd on its own Display (use with 'with'); its output goes to files."""

    def __init__(self, cwd, args=(), env=None, server_args=(), timeout=120, session=None):
        self.cwd, self.args, self.extra_env, self.server_args = cwd, list(args), env or {}, server_args
        self.deadline = time.monotonic() + timeout
        self.session = session

    def __enter__(self):
        if self.session:
            self.display, self.wine = self.session.display, self.session.wine
        else:
            self.display = Display(self.server_args).__enter__()
            self.wine = WinePrefix().__enter__() if WINDOWS else None
        self.stdout = tempfile.TemporaryFile()
        self.stderr = tempfile.TemporaryFile()
        full_env = dict(os.environ)
        full_env.update(self.extra_env)
        full_env.update(self.display.env())
        if self.wine:
            full_env.update(self.wine.env())
        self.command = player_command() + self.args
        self.process = subprocess.Popen(self.command, cwd=self.cwd, env=full_env, stdout=self.stdout,
                                        stderr=self.stderr)
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if not self.session:
            if self.wine:
                self.wine.__exit__(*exc)
            self.display.__exit__(*exc)
        self.stdout.close()
        self.stderr.close()

    def wait_window(self, name, size=None, timeout=60):
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

    def choose(self, window, point):
        """Presses a launcher row or switch, again if the launcher missed it: each press the tests
        make changes what the launcher shows."""
        for _ in range(5):
            if self.display.press(window, *point, timeout=5):
                return
        raise AssertionError("the launcher did not take the press at %s" % (point,))

    def start(self, window):
        """Presses Start demo, held until the button shows pressed, and waits for the launcher to go
        (the demo starts on the release); presses again if the launcher missed it."""
        for _ in range(5):
            self.display.press(window, *Launcher.START, timeout=5)
            if self.launcher_gone(10):
                return
        raise AssertionError("the launcher did not start the demo")

    def demo_window(self, timeout=60):
        """The player's OpenGL window (titled as the launcher, but of another size) once it shows, or
        None when the player ends first."""
        def found():
            for window in self.display.windows(CAPTION):
                geometry = self.display.geometry(window)
                if geometry and geometry[2:] != LAUNCHER_SIZE:
                    self.window = window
                    return True
            return self.process.poll() is not None
        self.window = None
        wait_until(found, min(timeout, max(1, self.deadline - time.monotonic())))
        return self.window

    def hold_key_until_exit(self, name, timeout=60):
        """Holds a key down in the demo window from the moment it shows until the player ends, then
        releases it: the frame loop sees it held whenever it first looks. False when the window
        never showed or the player did not end."""
        window = self.demo_window()
        if window is None:
            return False
        return self.display.key(window, name, reacted=lambda: self.process.poll() is not None, timeout=timeout)

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
        return subprocess.CompletedProcess(self.command, self.process.returncode, self.stdout.read(),
                                           self.stderr.read())


def brightvale(cwd, args=(), timeout=120, env=None, choose=(), start=True, after_start=None, server_args=(),
               session=None):
    """Runs the player in cwd as a user would, on a private X server (or the session's): waits for
    the launcher, presses each window point in choose (see Launcher), presses Start demo, then calls
    after_start(run) with the PlayerRun when given, and waits for the player to end. Returns a
    CompletedProcess (stdout and stderr as bytes). server_args go to Xvfb."""
    with PlayerRun(cwd, args, env, server_args, timeout, session) as run:
        window = run.wait_launcher()
        if window is not None:
            for point in choose:
                run.choose(window, point)
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


def make_tone_ogg(path, rate=44100):
    """A 3 s stereo tone (440 Hz left, 660 Hz right) encoded by oggenc."""
    wav = path + ".wav"
    with wave.open(wav, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<hh", int(9000 * math.sin(2 * math.pi * 440 * i / rate)),
                                           int(7000 * math.sin(2 * math.pi * 660 * i / rate + 0.4)))
                               for i in range(rate * 3)))
    subprocess.run(["oggenc", "-Q", "-q", "4", wav, "-o", path], check=True)
    os.remove(wav)
