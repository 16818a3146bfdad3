"""The sample demo plays to its end through the launcher, with its music, as a user runs it."""

import os
import re
import shutil
import unittest

from harness import BUILD_DIR, Launcher, WorkDir, brightvale, read_log

SAMPLE_DIR = os.path.join(BUILD_DIR, "sample")


class SampleDemo(unittest.TestCase):
    def test_plays_to_the_end_with_music(self):
        with WorkDir() as work:
            for name in ("sample.dpk", "music.ogg"):
                shutil.copy(os.path.join(SAMPLE_DIR, name), work.path)
            audio = work.file("audio.raw")
            env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio, "SDL_DISKAUDIODELAY": "186"}
            r = brightvale(work.path, choose=[Launcher.resolution(4), Launcher.FULLSCREEN], env=env, timeout=240)
            self.assertEqual(r.returncode, 0, r.stderr)
            log = read_log(work.path).decode()
            self.assertIn("Found sample.dpk.", log)
            self.assertIn("Audio buffer size:8192", log)
            self.assertNotIn("Error", log)
            self.assertRegex(log, r"Benchmark result: \d+\.\d\d fps\r\nBye!\r\n$")
            # The timeline ends at 74.13 s, 0.125 s after the music's own 74 s: the device has
            # played all of it (176400 bytes a second).
            self.assertGreaterEqual(os.path.getsize(audio), 74 * 176400)
            fps = float(re.search(r"Benchmark result: (\d+\.\d\d) fps", log).group(1))
            self.assertGreater(fps, 1.0)


if __name__ == "__main__":
    unittest.main()
