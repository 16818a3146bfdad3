"""The test demo played by the real player: to its end on the tick clock, and ended by Escape."""

import os
import re
import shutil
import subprocess
import time
import unittest

from harness import QUIET_AUDIO, TESTDEMO, WorkDir, brightvale, read_log, start_brightvale, startup_log

TIMELINE_SECONDS = 4.0  # every slot of the test demo ends at 400 hundredths


class Playback(unittest.TestCase):
    def test_demo_plays_to_its_end(self):
        with WorkDir() as work:
            shutil.copy(TESTDEMO, work.path)
            began = time.monotonic()
            r = brightvale(work.path, env=QUIET_AUDIO, timeout=120)
            elapsed = time.monotonic() - began
            self.assertEqual(r.returncode, 0, r.stderr)
            log = read_log(work.path)
            prefix = startup_log("testdemo.dpk")
            self.assertTrue(log.startswith(prefix), log)
            tail = log[len(prefix):]
            m = re.fullmatch(rb"Benchmark result: (\d+\.\d\d) fps\r\nBye!\r\n", tail)
            self.assertIsNotNone(m, tail)
            self.assertGreater(float(m.group(1)), 0.0)
            # The last frame is the first one rendered after the timeline's end.
            self.assertGreaterEqual(elapsed, TIMELINE_SECONDS)
            self.assertLess(elapsed, TIMELINE_SECONDS + 20)

    def test_escape_ends_without_a_benchmark_line(self):
        if not os.environ.get("DISPLAY"):
            self.fail("needs a display: run under xvfb-run")
        with WorkDir() as work:
            shutil.copy(TESTDEMO, work.path)
            player = start_brightvale(work.path, env=QUIET_AUDIO)
            try:
                time.sleep(1.5)
                # The player tests whether Escape is held, once a frame: hold it for a while.
                subprocess.run(["xdotool", "keydown", "Escape"], check=True)
                time.sleep(0.6)
                subprocess.run(["xdotool", "keyup", "Escape"], check=True)
                player.wait(timeout=30)
            finally:
                if player.poll() is None:
                    player.kill()
                    player.wait()
            self.assertEqual(player.returncode, 0)
            self.assertEqual(read_log(work.path), startup_log("testdemo.dpk") + b"Bye!\r\n")


if __name__ == "__main__":
    unittest.main()
