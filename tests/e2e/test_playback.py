"""The test demo played by the real player: to its end on the tick clock, and ended by Escape."""

import re
import shutil
import time
import unittest

from harness import QUIET_AUDIO, TESTDEMO, PlayerRun, WorkDir, brightvale, read_log, startup_log

TIMELINE_SECONDS = 4.0  # every slot of the test demo ends at 400 hundredths


class Playback(unittest.TestCase):
    def test_demo_plays_to_its_end(self):
        with WorkDir() as work:
            shutil.copy(TESTDEMO, work.path)
            with PlayerRun(work.path, env=QUIET_AUDIO, timeout=120) as run:
                window = run.wait_launcher()
                self.assertIsNotNone(window)
                run.start(window)
                began = time.monotonic()
                r = run.finish()
                elapsed = time.monotonic() - began
            self.assertEqual(r.returncode, 0, r.stderr)
            log = read_log(work.path)
            prefix = startup_log("testdemo.dpk")
            self.assertTrue(log.startswith(prefix), log)
            tail = log[len(prefix):]
            m = re.fullmatch(rb"Benchmark result: (\d+\.\d\d) fps\r\nBye!\r\n", tail)
            self.assertIsNotNone(m, tail)
            self.assertGreater(float(m.group(1)), 0.0)
            # The last frame is the first one rendered after the timeline's end; a clock running at a
            # tenth of its speed would take ten times as long (the margin is for loading, however slow).
            self.assertGreaterEqual(elapsed, TIMELINE_SECONDS)
            self.assertLess(elapsed, TIMELINE_SECONDS * 10)

    def test_escape_ends_without_a_benchmark_line(self):
        def escape(run):
            self.assertTrue(run.hold_key_until_exit("Escape"))

        with WorkDir() as work:
            shutil.copy(TESTDEMO, work.path)
            r = brightvale(work.path, env=QUIET_AUDIO, timeout=60, after_start=escape)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_log(work.path), startup_log("testdemo.dpk") + b"Bye!\r\n")

if __name__ == "__main__":
    unittest.main()
