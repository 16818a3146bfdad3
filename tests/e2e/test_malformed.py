"""The malformed corpus (tests/data/malformed/make_malformed.py) played end to end: every damaged
package, document or music file ends in its log line and exit status, through the player and
through `bvtool render`, and never in a crash, a hang or a sanitizer report."""

import os
import sys
import unittest

from harness import DATA_DIR, QUIET_AUDIO, Session, WorkDir, brightvale, read_log, target_bvtool

sys.path.insert(0, os.path.join(DATA_DIR, "malformed"))
import make_malformed  # noqa: E402

SANITIZER_MARKS = [b"ERROR: AddressSanitizer", b"ERROR: LeakSanitizer", b"runtime error:", b"Segmentation fault"]


class Malformed(unittest.TestCase):
    def check_clean(self, what, stderr):
        for mark in SANITIZER_MARKS:
            self.assertNotIn(mark, stderr, what)

    def test_every_case_ends_in_its_log_line_and_status(self):
        with Session() as session:
            self.play_every_case(session)

    def play_every_case(self, session):
        for name, files, player_status, line, render_status, render_line in make_malformed.cases():
            with self.subTest(name), WorkDir() as work:
                for file_name, data in files().items():
                    with open(work.file(file_name), "wb") as f:
                        f.write(data)
                r = brightvale(work.path, env=QUIET_AUDIO, timeout=90, session=session)
                self.check_clean(name + " (player)", r.stderr)
                self.assertEqual(r.returncode, player_status, name + ": " + r.stderr.decode(errors="replace"))
                self.assertIn(line, read_log(work.path), name)

                os.remove(work.file("demo.log"))
                r = target_bvtool("render", work.file("t.dpk"), "--time", "100", "--size", "64x36", "--out",
                                  work.file("frame.png"), cwd=work.path, timeout=90, session=session)
                self.check_clean(name + " (render)", r.stderr)
                self.assertEqual(r.returncode, render_status, name + ": " + r.stderr.decode(errors="replace"))
                if render_status == 0:
                    self.assertTrue(os.path.exists(work.file("frame.png")), name)
                # The render tool reads no music and logs no "Bye!".
                if render_line == make_malformed.SAME and b"ogg" not in line and line != b"Bye!\r\n":
                    self.assertIn(line, r.stderr, name)
                elif render_line != make_malformed.SAME:
                    self.assertIn(render_line, r.stderr, name)

    def test_music_that_is_a_pipe_is_not_opened(self):
        # Opening a pipe for reading waits for a writer that never comes.
        with WorkDir() as work:
            document = make_malformed.short_demo().replace("<music/>", '<music file="music.ogg" offset="0"/>')
            with open(work.file("t.dpk"), "wb") as f:
                f.write(make_malformed.demo_package(document))
            os.mkfifo(work.file("music.ogg"))
            r = brightvale(work.path, env=QUIET_AUDIO, timeout=60)
            self.check_clean("pipe", r.stderr)
            self.assertEqual(r.returncode, 0, r.stderr)
            log = read_log(work.path)
            self.assertIn(b"Error: cannot open music.ogg!\r\n", log)
            self.assertTrue(log.endswith(b"Bye!\r\n"), log)


if __name__ == "__main__":
    unittest.main()
