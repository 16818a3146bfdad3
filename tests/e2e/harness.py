"""Shared helpers for the end-to-end tests: locating the built binaries, temporary working
folders, running the player (under Xvfb when there is no display) and building test packages."""

import os
import shutil
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD_DIR = os.environ.get("BV_BUILD_DIR") or os.path.join(HERE, "..", "..", "build")
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


def brightvale(cwd, args=(), timeout=120, env=None):
    """Runs the player in cwd with the given arguments."""
    return run(with_display([PLAYER] + list(args)), cwd=cwd, timeout=timeout, env=env)


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

