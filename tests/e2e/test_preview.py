"""bvtool preview on a copy of the test demo's folder, under a private Xvfb with SDL's disk audio
driver: an edit reloads the scene at the same demo time, Space holds the frame, Right moves the time by
one second (times printed in seconds with the document's hundredths beside them), a broken edit keeps the last frame and says why, and the sound after a seek is the music
from the sample the new time gives, as oggdec decodes it."""

import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from harness import BUILD_DIR, BVTOOL, DATA_DIR, Display, WorkDir, make_tone_ogg, wait_until

TESTDEMO_SRC = os.path.join(BUILD_DIR, "testdemo", "src")
SIZE = (640, 360)
MUSIC_OFFSET_MS = 0 + 125  # the music element's offset, plus the 125 ms every demo starts with
CLEAR_BLUE = '<v type="static" value="0.05"/><v type="static" value="0.05"/><v type="static" value="0.2"/>'
CLEAR_RED = '<v type="static" value="0.9"/><v type="static" value="0.1"/><v type="static" value="0.1"/>'


class Preview:
    """The preview running on its own display; its standard output collected line by line."""

    def __init__(self, display, folder, env):
        self.display = display
        self.lines = []
        self.stderr = tempfile.TemporaryFile()
        self.process = subprocess.Popen([BVTOOL, "preview", folder, "--size", "%dx%d" % SIZE],
                                        env=dict(os.environ, **display.env(), **env), stdout=subprocess.PIPE,
                                        stderr=self.stderr)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.decode().rstrip("\n"))

    def wait_line(self, prefix, after=0, timeout=30, exact=False):
        """The first line from index `after` on that starts with prefix (or is it), and its index."""
        found = []

        def seen():
            for i in range(after, len(self.lines)):
                if self.lines[i] == prefix if exact else self.lines[i].startswith(prefix):
                    found.append(i)
                    return True
            return self.process.poll() is not None
        wait_until(seen, timeout)
        if not found:
            raise AssertionError("no %r line; output so far: %s; errors: %s" % (prefix, self.lines, self.errors()))
        return self.lines[found[0]], found[0]

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.stderr.close()

    def errors(self):
        self.stderr.seek(0)
        return self.stderr.read().decode(errors="replace")

    def picture(self):
        return self.display.window_picture(self.window)

    def key(self, name, prefix):
        """Presses a key, held until the preview reports what it did; returns that line's number."""
        start = len(self.lines)
        ok = self.display.key(self.window, name, reacted=lambda: any(
            line.startswith(prefix) for line in self.lines[start:]), timeout=20)
        self.assertion(ok, "%s gave no %r line" % (name, prefix))
        return self.wait_line(prefix, start)

    def assertion(self, ok, message):
        if not ok:
            raise AssertionError(message + "; output: %s; errors: %s" % (self.lines[-20:], self.errors()))


def value(line):
    """The demo time a line ends with, in ms: "seek 1.00 s (100)" is 1000. The seconds and the
    hundredths beside them must agree."""
    m = re.search(r" (\d+)\.(\d\d) s \((\d+)\)$", line)
    if not m:
        raise AssertionError("no time in seconds and hundredths at the end of %r" % line)
    seconds, hundredths, units = (int(g) for g in m.groups())
    if seconds * 100 + hundredths != units:
        raise AssertionError("the seconds and hundredths of %r disagree" % line)
    return units * 10


def status(line):
    """The status line that shows the same time as an event line ("pause 1.23 s (123)")."""
    return "time " + line.split(" ", 1)[1]


class PreviewTest(unittest.TestCase):
    def test_reload_seek_pause_broken_edit_and_music(self):
        with WorkDir() as work, Display() as display:
            folder = work.file("demo")
            shutil.copytree(TESTDEMO_SRC, folder)
            for name in ("demo", "loading"):
                os.remove(os.path.join(folder, name + ".xmlz"))
                shutil.copy(os.path.join(DATA_DIR, "testdemo", name + ".xml"), folder)
            make_tone_ogg(os.path.join(folder, "music.ogg"))
            document = os.path.join(folder, "demo.xml")
            with open(document) as f:
                text = f.read().replace("<music/>", '<music file="music.ogg" offset="0"/>')
            self.assertIn(CLEAR_BLUE, text)
            with open(document, "w") as f:
                f.write(text)
            audio = work.file("audio.raw")
            p = Preview(display, folder, {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio,
                                          "SDL_DISKAUDIODELAY": "46"})
            try:
                p.wait_line("loaded", timeout=60)
                self.assertTrue(wait_until(lambda: display.windows("bvtool"), 30))
                p.window = display.windows("bvtool")[0]
                # The first frames, moving: the cube spins.
                first = p.picture()
                self.assertTrue(wait_until(lambda: p.picture().rgb != first.rgb, 20), "the frames do not change")

                # Space holds the frame: two pictures half a second of status lines apart agree.
                pause_line, at = p.key("space", "pause ")
                p.wait_line(status(pause_line), at + 1, exact=True)
                held = p.picture()
                _, n = p.wait_line("time ", len(p.lines))
                p.wait_line("time ", n + 1)
                self.assertEqual(p.picture().rgb, held.rgb)
                home_line, at = p.key("Home", "seek ")
                self.assertEqual(value(home_line), 0)
                p.wait_line("time 0.00 s (0)", at + 1, exact=True)
                held = p.picture()

                # An edit of the clear colour: the picture follows within 2 s, at the same demo time
                # (the moment to which Home took it).
                corner = (SIZE[0] - 3, SIZE[1] - 3)
                before = held.pixel(*corner)
                self.assertLess(before[0], 60)
                saved = time.monotonic()
                with open(document, "w") as f:
                    f.write(text.replace(CLEAR_BLUE, CLEAR_RED))
                turned = wait_until(lambda: p.picture().pixel(*corner)[0] > 150, 2.0, step=0.01)
                measured = time.monotonic() - saved
                self.assertTrue(turned, "the clear colour did not change within 2 s: %s" % p.errors())
                print("\nsave to reloaded frame: %.2f s" % measured, file=sys.stderr)
                reload_line, at = p.wait_line("reloaded at ", 0)
                self.assertTrue(reload_line.startswith("reloaded at 0.00 s (0) in "), reload_line)

                # Right: one second on.
                seek_line, at = p.key("Right", "seek ")
                self.assertEqual(value(seek_line), 1000)

                # Playing again, the time goes on from there; a seek moves the music with it.
                play_line, at = p.key("space", "play ")
                self.assertEqual(value(play_line), 1000)
                status_line, at = p.wait_line("time ", at + 1)
                self.assertGreaterEqual(value(status_line), 1000)
                seek_line, at = p.key("Left", "seek ")
                music_line, _ = p.wait_line("music sample ", at)
                seek_ms = value(seek_line)
                words = music_line.split()
                sample, byte = int(words[2]), int(words[5])
                # As the player's clock: it counts the 8192 bytes (2048 frames) of silence it queues
                # before the music's first sample.
                self.assertEqual(sample, math.floor((seek_ms - MUSIC_OFFSET_MS) * 44.1) - 2048)
                self.check_music(work, audio, sample, byte)

                # A broken edit: the last frame stays (outside the message's box) and the error shows.
                pause_line, at = p.key("space", "pause ")
                p.wait_line(status(pause_line), at + 1, exact=True)
                good = p.picture()
                with open(document, "w") as f:
                    f.write(text[:len(text) // 2])
                p.wait_line("reload failed", at)
                self.assertTrue(wait_until(lambda: p.picture().rgb != good.rgb, 10), "no message in the window")
                now = p.picture()
                for x, y in ((SIZE[0] - 3, SIZE[1] - 3), (SIZE[0] // 2, SIZE[1] - 10), (SIZE[0] - 10, SIZE[1] // 2)):
                    self.assertEqual(now.pixel(x, y), good.pixel(x, y))
                self.assertIn("reload failed: demo.xml:", p.errors())

                self.assertTrue(display.key(p.window, "Escape", reacted=lambda: p.process.poll() is not None))
                self.assertEqual(p.process.wait(30), 0, p.errors())
            finally:
                p.close()

    def test_timeline_strip_and_curves(self):
        """T shows the timeline strip over the bottom of the frame and a click in it seeks to the time
        under the pointer; C shows the curves of the functions the frame uses at the top right."""
        with WorkDir() as work, Display() as display:
            folder = work.file("demo")
            shutil.copytree(TESTDEMO_SRC, folder)
            for name in ("demo", "loading"):
                os.remove(os.path.join(folder, name + ".xmlz"))
                shutil.copy(os.path.join(DATA_DIR, "testdemo", name + ".xml"), folder)
            p = Preview(display, folder, {"SDL_AUDIODRIVER": "dummy"})
            try:
                p.wait_line("loaded", timeout=60)
                self.assertTrue(wait_until(lambda: display.windows("bvtool"), 30))
                p.window = display.windows("bvtool")[0]
                pause_line, at = p.key("space", "pause ")
                p.wait_line(status(pause_line), at + 1, exact=True)
                bottom = (10, SIZE[1] - 4)
                before = p.picture().pixel(*bottom)
                line, at = p.key("t", "timeline strip on")
                m = re.match(r"timeline strip on: 0\.00 s \(0\) at x=(\d+), \d+\.\d\d s \((\d+)\) at x=(\d+), "
                             r"rows y=(\d+) to (\d+)$", line)
                self.assertTrue(m, line)
                x0, t1, x1, top, end = (int(g) for g in m.groups())
                self.assertTrue(0 < top < end <= SIZE[1] and 0 < x0 < x1 < SIZE[0], line)
                self.assertTrue(wait_until(lambda: p.picture().pixel(*bottom) != before, 10), "no strip")
                self.assertGreater(min(p.picture().pixel(*bottom)), 180, "the strip's light ground")
                # A click on 2 s (the time under a pixel's centre, on the nearest hundredth).
                x = round(x0 + 200 * (x1 - x0) / t1)
                start = len(p.lines)
                self.assertTrue(display.press(p.window, x, (top + end) // 2, reacted=lambda: any(
                    l.startswith("seek ") for l in p.lines[start:])), "the click did not seek")
                seek_line, at = p.wait_line("seek ", start)
                self.assertLessEqual(abs(value(seek_line) - 2000), 10, seek_line)
                p.wait_line(status(seek_line), at + 1, exact=True)
                corner = (SIZE[0] - 20, 20)  # the curves' panel, right of its title
                before = p.picture().pixel(*corner)
                p.key("c", "curves on")
                self.assertTrue(wait_until(lambda: p.picture().pixel(*corner) != before, 10), "no curves")
                self.assertGreater(min(p.picture().pixel(*corner)), 180, "the curves' light ground")
                self.assertTrue(display.key(p.window, "Escape", reacted=lambda: p.process.poll() is not None))
                self.assertEqual(p.process.wait(30), 0, p.errors())
            finally:
                p.close()

    def check_music(self, work, audio, sample, byte):
        """The device's bytes from `byte` on are oggdec's decode from `sample` on (a second of it). SDL's
        audio thread writes a silent buffer or two of its own before it first calls the preview, which
        counts only what it wrote itself: the match may start that many device buffers later."""
        raw = work.file("music.raw")
        subprocess.run(["oggdec", "-Q", "-R", "-o", raw, work.file("demo", "music.ogg")], check=True)
        with open(raw, "rb") as f:
            music = f.read()
        silence = bytes(max(-sample, 0) * 4)
        expected = (silence + music[max(sample, 0) * 4:])[:44100 * 4]
        self.assertGreater(len(expected), 4096 * 4)
        buffer = 2048 * 4
        self.assertTrue(wait_until(lambda: os.path.getsize(audio) >= byte + 2 * buffer + len(expected), 30),
                        "the device got too little")
        with open(audio, "rb") as f:
            device = f.read()
        starts = [k for k in range(3) if device[byte + k * buffer:byte + k * buffer + len(expected)] == expected]
        self.assertTrue(starts, "the sound after the seek is not the music from sample %d" % sample)


if __name__ == "__main__":
    unittest.main()
