"""Music end to end: the player hands the device, through SDL's disk audio driver, exactly the sound
that oggdec decodes from the same file, after the leading silence and without gaps or repeats."""

import os
import re
import shutil
import struct
import subprocess
import unittest

from harness import WINDOWS, WorkDir, brightvale, make_package, make_tone_ogg, pack_text, read_log, startup_log
from scenes import quad_scene

TIMELINE = 150       # hundredths: the quad is drawn for 1.5 s
TOLERANCE = 0        # least significant bits: the player decodes with the same library as oggdec
BUFFER = 32768       # one device buffer of 8192 stereo frames
RING_SILENCE = 8192  # the ring's own leading silence


def decoded_by_oggdec(path):
    raw = path + ".raw"
    subprocess.run(["oggdec", "-Q", "-R", "-o", raw, path], check=True)
    with open(raw, "rb") as f:
        data = f.read()
    os.remove(raw)
    return data


def samples(data):
    return struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])


class Music(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = WorkDir().__enter__()
        cls.ogg = cls.work.file("tone.ogg")
        make_tone_ogg(cls.ogg)
        cls.reference = samples(decoded_by_oggdec(cls.ogg))

    @classmethod
    def tearDownClass(cls):
        cls.work.__exit__(None, None, None)

    def play(self, work, music_attributes, music_file=None):
        """Plays a package whose music element has the given attributes; returns (result, device bytes)."""
        doc, entries = quad_scene(TIMELINE, music_attributes)
        make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(doc))] + entries)
        if music_file:
            os.makedirs(os.path.dirname(work.file(music_file)) or work.path, exist_ok=True)
            with open(self.ogg, "rb") as src, open(work.file(music_file), "wb") as dst:
                dst.write(src.read())
        device = work.file("device.raw")
        # The disk driver writes one buffer every SDL_DISKAUDIODELAY ms: 186 is real time for 8192 frames.
        env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": device, "SDL_DISKAUDIODELAY": "186"}
        r = brightvale(work.path, env=env, timeout=60)
        data = b""
        if os.path.exists(device):
            with open(device, "rb") as f:
                data = f.read()
        return r, data

    def check_stream(self, device_bytes, music_offset_ms):
        """Leading silence (the device's silent buffers while the ring fills, then the ring's 8192
        bytes), then the decoded music sample by sample up to where playback stopped."""
        out = samples(device_bytes)
        ref = self.reference
        start = next((k for k in range(0, len(out) - 64, 2)
                      if all(abs(out[k + j] - ref[j]) <= TOLERANCE for j in range(64))), None)
        self.assertIsNotNone(start, "the music never starts")
        self.assertTrue(all(v == 0 for v in out[:start]), "only silence comes before the music")
        self.assertEqual((start * 2 - RING_SILENCE) % BUFFER, 0,
                         "the silence is whole device buffers plus the ring's 8192 bytes")
        played = min(len(out) - start, len(ref))
        # The timeline ends at 1.5 s of demo time, which the music reaches after the offset.
        expected_ms = TIMELINE * 10 - music_offset_ms
        self.assertGreater(played * 2 / 176.4, expected_ms - 2 * 186, "the music plays until the timeline ends")
        worst = max(abs(out[start + j] - ref[j]) for j in range(played))
        self.assertLessEqual(worst, TOLERANCE, "no gap, repeat or reordering")
        return start * 2

    def expect_log(self, work, middle):
        log = read_log(work.path)
        prefix = startup_log("test.dpk") + middle
        self.assertTrue(log.startswith(prefix), log)
        self.assertIsNotNone(re.fullmatch(rb"Benchmark result: \d+\.\d\d fps\r\nBye!\r\n", log[len(prefix):]), log)

    def test_music_offset_zero_waits_for_the_first_buffer(self):
        # A document offset of -125 makes the music offset 0: sound first, then the first frame.
        with WorkDir() as work:
            r, data = self.play(work, 'file="tone.ogg" offset="-125"', "tone.ogg")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.check_stream(data, 0)
            self.expect_log(work, b"Audio buffer size:8192\n")

    def test_lead_in_then_music(self):
        for offset in ["0", "500"]:
            with WorkDir() as work:
                r, data = self.play(work, 'file="tone.ogg" offset="%s"' % offset, "tone.ogg")
                self.assertEqual(r.returncode, 0, r.stderr)
                silence = self.check_stream(data, int(offset) + 125)
                # The device plays silence while paused through the lead-in of offset + 125 ms.
                lead_in_buffers = (silence - RING_SILENCE) // BUFFER
                self.assertGreaterEqual(lead_in_buffers * 186, int(offset) + 125 - 186, offset)
                self.expect_log(work, b"Audio buffer size:8192\n")

    def test_music_found_only_under_the_music_folder(self):
        with WorkDir() as work:
            r, data = self.play(work, 'file="tone.ogg" offset="-125"', "music/tone.ogg")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.check_stream(data, 0)

    def test_without_playable_music_the_demo_runs_on_the_tick_clock(self):
        cases = [
            ("missing file", 'file="nothere.ogg" offset="0"', None, b"Error: cannot open nothere.ogg!\r\n"),
            ("not Ogg", 'file="fake.ogg" offset="0"', "fake.ogg",
             b"Error: fake.ogg is not an Ogg Vorbis file I can decode; the demo plays without music.\r\n"),
            ("no music element", "", None, b""),
        ]
        for what, attributes, extra, line in cases:
            with WorkDir() as work:
                if extra:
                    with open(work.file(extra), "wb") as f:
                        f.write(b"RIFF this is not music at all" * 100)
                r, data = self.play(work, attributes)
                self.assertEqual(r.returncode, 0, what)
                self.assertEqual(data, b"", what + ": the audio device is never opened")
                self.expect_log(work, line)

    def test_audio_device_that_does_not_open_ends_the_player(self):
        # No sound card at all (a driver name SDL does not have), and a device that fails to open
        # (the disk driver writing into a folder that does not exist).
        cases = [("no driver", {"SDL_AUDIODRIVER": "nosuchdriver"}),
                 ("device fails", {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/nonexistent/folder/device.raw"})]
        for what, env in cases:
            with WorkDir() as work:
                doc, entries = quad_scene(TIMELINE, 'file="tone.ogg" offset="0"')
                make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(doc))] + entries)
                shutil.copy(self.ogg, work.file("tone.ogg"))
                shown = []

                def dismiss(run):
                    window = run.wait_window("Error")
                    shown.append(window is not None)
                    if window is not None:
                        run.display.key(window, "Return")
                r = brightvale(work.path, env=env, timeout=60, after_start=dismiss)
                self.assertEqual(r.returncode, 1, what)
                self.assertTrue(shown[-1], what + ": no error window")
                log = read_log(work.path)
                line = re.search(rb"Error: cannot open the audio device \((.*)\); switch Music off in the "
                                 rb"launcher to play without it\.\r\n$", log)
                self.assertIsNotNone(line, log)
                self.assertTrue(log.startswith(startup_log("test.dpk")), log)
                self.assertNotIn(b"Audio buffer size", log, what)
                # The line of old on standard error, with the same reason as the log's (Windows' C
                # library writes its line end as CR LF); the Error text there too, but on Windows,
                # where the message box is all.
                self.assertIsNotNone(re.search(b"^Couldn't open audio: " + re.escape(line.group(1)) + b"\r?\n",
                                               r.stderr, re.M), r.stderr)
                self.assertEqual(r.stderr.count(line.group(0)[:-2] + b"\n"), 0 if WINDOWS else 1, what)


if __name__ == "__main__":
    unittest.main()
