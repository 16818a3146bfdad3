"""The test demo played by the real player: to its end on the tick clock, and ended by Escape."""

import re
import shutil
import time
import unittest

from harness import PLAYER, QUIET_AUDIO, TESTDEMO, WorkDir, brightvale, read_log, run, startup_log

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
        # Its own X server: a key pressed on a shared display would reach other tests' windows.
        script = ('"$0" & player=$!; sleep 1.5; xdotool keydown Escape; sleep 0.6; xdotool keyup Escape; '
                  'wait $player')
        with WorkDir() as work:
            shutil.copy(TESTDEMO, work.path)
            r = run(["xvfb-run", "-a", "-s", "-noreset -screen 0 1280x1024x24", "sh", "-c", script, PLAYER],
                    cwd=work.path, env=QUIET_AUDIO, timeout=60)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_log(work.path), startup_log("testdemo.dpk") + b"Bye!\r\n")


if __name__ == "__main__":
    unittest.main()
