"""The player's start-up and shutdown: log lines, package scan, documents and exit statuses."""

import os
import unittest

from harness import (HEADER, QUIET_AUDIO, WINDOWS, WorkDir, brightvale, empty_document, make_package, pack_text,
                     read_log, startup_log, write_bytes)

END_OF_EMPTY_DEMO = b"Benchmark result: 0.00 fps\r\n" + b"Bye!\r\n"


class Startup(unittest.TestCase):
    def play(self, work, args=()):
        return brightvale(work.path, args, env=QUIET_AUDIO)

    def test_no_package(self):
        with WorkDir() as work:
            write_bytes(work.file("readme.txt"), b"not a package")
            r = self.play(work)
            self.assertEqual(r.returncode, 1)
            self.assertEqual(read_log(work.path), HEADER + b"Sux... no dpk file.\r\n")

    def test_empty_demo_plays_and_ends(self):
        with WorkDir() as work:
            make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(empty_document()))])
            r = self.play(work)
            self.assertEqual(r.returncode, 0, r.stderr)
            # Slot 0 is empty: one render call, no frame, the benchmark line, then "Bye!".
            self.assertEqual(read_log(work.path), startup_log("test.dpk") + END_OF_EMPTY_DEMO)

    def test_first_dpk_of_the_directory_listing_is_used(self):
        with WorkDir() as work:
            doc = pack_text(empty_document())
            for name in ["b.dpk", "a.dpk", "xdpk", "c.DPK"]:
                make_package(work.path, name, [("demo.xmlz", doc)])
            expected = [n for n in os.listdir(work.path) if n.endswith("dpk")][0]
            r = self.play(work)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_log(work.path), startup_log(expected) + END_OF_EMPTY_DEMO)
        with WorkDir() as work:
            make_package(work.path, "xdpk", [("demo.xmlz", pack_text(empty_document()))])
            self.play(work)
            self.assertEqual(read_log(work.path), startup_log("xdpk") + END_OF_EMPTY_DEMO)

    def test_log_that_cannot_be_created(self):
        with WorkDir() as work:
            make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(empty_document()))])
            os.mkdir(work.file("demo.log"))  # open(2) cannot create a file where a folder stands
            r = self.play(work)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(os.listdir(work.file("demo.log")), [])

    def test_unusable_documents_end_with_status_1(self):
        text = empty_document().encode()
        damaged = pack_text(text)
        damaged = damaged[:10] + bytes([damaged[10] ^ 0xFF]) + damaged[11:]
        cases = [
            ("missing demo.xmlz", [("loading.xmlz", pack_text(empty_document()))],
             b"Error: demo.xmlz is missing from the package.\r\n"),
            ("damaged demo.xmlz", [("demo.xmlz", damaged)],
             b"Error: demo.xmlz is damaged and cannot be inflated.\r\n"),
            ("wrong length word", [("demo.xmlz", b"\x00\x10\x00\x00" + pack_text(text)[4:])],
             b"Error: demo.xmlz is damaged and cannot be inflated.\r\n"),
            ("damaged loading.xmlz", [("loading.xmlz", damaged), ("demo.xmlz", pack_text(text))],
             b"Error: loading.xmlz is damaged and cannot be inflated.\r\n"),
            ("too few sections", [("demo.xmlz", pack_text(empty_document(sections=13)))],
             b"Error: demo.xmlz has 13 sections, 14 are needed.\r\n"
             + b"Error: demo.xmlz cannot be played.\r\n"),
        ]
        for what, entries, error in cases:
            with WorkDir() as work:
                make_package(work.path, "test.dpk", entries)
                r = self.play(work)
                self.assertEqual(r.returncode, 1, what)
                self.assertEqual(read_log(work.path), startup_log("test.dpk") + error, what)

    def test_short_loading_document_is_ignored(self):
        with WorkDir() as work:
            make_package(work.path, "test.dpk", [("loading.xmlz", pack_text(empty_document(sections=3))),
                                                 ("demo.xmlz", pack_text(empty_document(sections=14)))])
            r = self.play(work)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_log(work.path),
                             startup_log("test.dpk") + b"Error: loading.xmlz has 3 sections, 14 are needed.\r\n"
                             + END_OF_EMPTY_DEMO)

    def test_package_that_cannot_be_opened(self):
        with WorkDir() as work:
            os.mkdir(work.file("folder.dpk"))  # found by the scan, but not a readable file
            r = self.play(work)
            self.assertEqual(r.returncode, 1)
            self.assertEqual(read_log(work.path),
                             HEADER + b"Found folder.dpk.\r\n" + b"Error: cannot open folder.dpk.\r\n")

    def test_no_opengl_at_all(self):
        # An X server without GLX: the launcher works, the OpenGL window does not, with or without
        # multisampling, and neither does the probe window. The error shows in a window titled
        # "Error" (and on standard error) until the user dismisses it; the status is 0.
        message = b"Error: failed to create opengl context, please install OpenGL driver."
        shown = []

        def dismiss(how):
            def act(run):
                window = run.wait_window("Error")
                shown.append(window is not None)
                if window is None:
                    return
                if how == "click OK":
                    _, _, width, height = run.display.geometry(window)
                    run.display.click(window, width // 2, height - 16 - 12)
                else:
                    run.display.key(window, how)
            return act

        for how in ["Return", "Escape", "click OK"]:
            with WorkDir() as work:
                make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(empty_document()))])
                r = brightvale(work.path, env=QUIET_AUDIO, server_args=["-extension", "GLX"], timeout=60,
                               after_start=dismiss(how))
                self.assertTrue(shown[-1], how + ": no error window")
                self.assertEqual(r.returncode, 0, how)
                self.assertEqual(read_log(work.path),
                                 HEADER + b"Found test.dpk.\r\n" + b"Starting the demo.\r\n"
                                 + b"Failed to create opengl context, trying without antialiasing.\r\n"
                                 + message + b"\r\n", how)
                # Windows shows the message box alone; elsewhere the text also goes to standard error.
                self.assertEqual(r.stderr.count(message), 0 if WINDOWS else 1, how)

if __name__ == "__main__":
    unittest.main()
