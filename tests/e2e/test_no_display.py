"""Without a display nothing draws in the terminal: SDL 1.2 would fall back to its text-mode video
drivers there. bvtool's drawing commands and the player fail with one plain line; the player's
--help answers without opening anything."""

import fcntl
import os
import select
import subprocess
import termios
import time
import unittest

from harness import BVTOOL, HEADER, PLAYER, TESTDEMO, WorkDir, read_log

ESCAPE = b"\x1b"


def in_terminal(args, cwd, env=None, timeout=60):
    """Runs args with no X display, standard input and output on a pseudo-terminal that is its
    controlling terminal (where a text-mode driver would draw), standard error on a pipe. Returns
    (status, what reached the terminal, standard error)."""
    full_env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "SDL_VIDEODRIVER")}
    full_env.update({"TERM": "xterm", "COLUMNS": "80", "LINES": "24"})
    full_env.update(env or {})
    master, slave = os.openpty()

    def take_terminal():
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)

    process = subprocess.Popen(args, cwd=cwd, env=full_env, stdin=slave, stdout=slave, stderr=subprocess.PIPE,
                               preexec_fn=take_terminal)
    os.close(slave)
    terminal, error = b"", b""
    streams = {master: "terminal", process.stderr.fileno(): "error"}
    deadline = time.monotonic() + timeout
    while streams and time.monotonic() < deadline:
        for fd in select.select(list(streams), [], [], 0.2)[0]:
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # the terminal's last writer is gone
                chunk = b""
            if not chunk:
                del streams[fd]
            elif streams[fd] == "terminal":
                terminal += chunk
            else:
                error += chunk
    if streams:
        process.kill()
    status = process.wait(30)
    os.close(master)
    process.stderr.close()
    return status, terminal, error


class NoDisplay(unittest.TestCase):
    def test_drawing_commands_fail_with_one_line(self):
        with WorkDir() as work:
            out = work.file("out")
            commands = [
                ["render", TESTDEMO, "--time", "0", "--out", out + ".png"],
                ["mesh", TESTDEMO, "--time", "0", "--out", out + ".obj"],
                ["textures", TESTDEMO, work.file("textures")],
                ["effects", TESTDEMO, work.file("effects")],
                ["bench", TESTDEMO, "--frames", "1"],
                ["capture", TESTDEMO, work.file("capture"), "--from", "0", "--to", "100"],
                ["preview", os.path.dirname(TESTDEMO)],
            ]
            for command in commands:
                for driver in [None, "caca"]:
                    what = "%s (SDL_VIDEODRIVER %s)" % (command[0], driver)
                    env = {"SDL_VIDEODRIVER": driver} if driver else None
                    status, terminal, error = in_terminal([BVTOOL] + command, work.path, env)
                    self.assertEqual(status, 2, what)
                    self.assertNotIn(ESCAPE, terminal + error, what)
                    self.assertEqual(terminal, b"", what)
                    lines = error.splitlines()
                    self.assertEqual(len(lines), 1, what)
                    self.assertTrue(lines[0].startswith(b"bvtool: %s: cannot open a window: " % command[0].encode()),
                                    lines[0])
                    self.assertIn(b"draws in the terminal" if driver else b"no display", lines[0], what)
            self.assertFalse(os.path.exists(out + ".png") or os.path.exists(out + ".obj"))

    def test_check_fails_unless_told_to_leave_the_programs_out(self):
        with WorkDir() as work:
            status, terminal, error = in_terminal([BVTOOL, "check", TESTDEMO], work.path)
            self.assertEqual(status, 2)
            self.assertNotIn(ESCAPE, terminal + error)
            self.assertEqual(terminal, b"")
            self.assertEqual(len(error.splitlines()), 1, error)
            self.assertIn(b"bvtool: check: the GLSL programs cannot be compiled without a window", error)
            self.assertIn(b"--no-glsl", error)
            status, terminal, error = in_terminal([BVTOOL, "check", TESTDEMO, "--no-glsl"], work.path)
            self.assertEqual(status, 0, error)
            self.assertNotIn(ESCAPE, terminal + error)
            self.assertIn(b"no findings (GLSL programs not compiled: --no-glsl)", terminal)

    def test_player_help_opens_nothing(self):
        for flag in ["--help", "-h"]:
            with WorkDir() as work:
                status, terminal, error = in_terminal([PLAYER, flag], work.path)
                self.assertEqual(status, 0, flag)
                self.assertEqual(error, b"", flag)
                self.assertNotIn(ESCAPE, terminal, flag)
                for words in [b"usage: brightvale", b"launcher", b"dpk", b"music/", b"-forcepbo", b"demo.log"]:
                    self.assertIn(words, terminal, flag)
                self.assertEqual(os.listdir(work.path), [], flag + ": nothing written, not even the log")

    def test_player_fails_plainly(self):
        # As when no window can be opened: the reason in the log and on standard error, status 1.
        for driver in [None, "caca"]:
            with WorkDir() as work:
                env = {"SDL_VIDEODRIVER": driver} if driver else None
                status, terminal, error = in_terminal([PLAYER], work.path, env)
                self.assertEqual(status, 1, driver)
                self.assertNotIn(ESCAPE, terminal + error, driver)
                self.assertEqual(terminal, b"", driver)
                reason = b"no display (DISPLAY is not set)" if not driver else \
                    b"the video driver caca draws in the terminal, not in a window (SDL_VIDEODRIVER)"
                line = b"Error: cannot open a window: " + reason
                self.assertEqual(error, line + b"\n", driver)
                self.assertEqual(read_log(work.path), HEADER + line + b"\r\n", driver)


if __name__ == "__main__":
    unittest.main()
