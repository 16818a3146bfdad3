"""bvtool capture: frames at exact frame times, and the music of the same span as the player hands it
to the audio device (checked against oggdec and against the player's own output on SDL's disk
driver)."""

import array
import os
import shutil
import struct
import subprocess
import unittest

from harness import (BUILD_DIR, BVTOOL, Launcher, WorkDir, brightvale, make_package, make_tone_ogg, pack_text,
                     read_bytes, run, wait_until, with_display)
from scenes import quad_scene, rgb_pixels

SAMPLE_DIR = os.path.join(BUILD_DIR, "sample")
SAMPLE = os.path.join(SAMPLE_DIR, "sample.dpk")
MUSIC = os.path.join(SAMPLE_DIR, "music.ogg")
# The sample's music element has offset 0: the music starts 125 ms into the demo, and the ring
# queues 2048 frames of silence before the first decoded one.
LEAD_IN_FRAMES = 5513  # floor(125 x 44.1) rounded outward: frames before device frame 0
RING_SILENCE_FRAMES = 2048
DECODER_TOLERANCE = 4  # least significant bits: oggdec and the player's decoder are not bit-identical


def frames_of(raw):
    """Stereo 16-bit frames as (left, right) pairs of a flat array."""
    a = array.array("h")
    a.frombytes(raw)
    return a


def first_sound(samples):
    for i, v in enumerate(samples):
        if v:
            return i // 2
    return None


class Capture(unittest.TestCase):
    def test_frames_and_sound_of_a_span(self):
        with WorkDir() as work:
            out = work.file("out")
            # A span of the valley, whose pictures depend on the time alone (no simulation state).
            # A bare number is milliseconds; a unit may be given.
            r = run(with_display([BVTOOL, "capture", SAMPLE, out, "--fps", "30", "--size", "320x180", "--from",
                                  "10000", "--to", "13s"]))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(b"mux: ffmpeg", r.stdout)
            self.assertIn(b"90 frames from 10.00 s (1000) to 13.00 s (1300) in ", r.stdout)
            names = sorted(n for n in os.listdir(out) if n.startswith("frame_"))
            self.assertEqual(len(names), 90)
            # Frame 45 is demo time 11500 ms exactly: the same picture as bvtool render draws there.
            single = work.file("single.png")
            r = run(with_display([BVTOOL, "render", SAMPLE, "--time", "11500", "--size", "320x180", "--out", single]))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(rgb_pixels(os.path.join(out, "frame_000045.png")), rgb_pixels(single))

            wav = read_bytes(os.path.join(out, "audio.wav"))
            self.assertEqual(wav[:4], b"RIFF")
            channels, rate, _, _, bits = struct.unpack_from("<HIIHH", wav, 22)
            self.assertEqual((channels, rate, bits), (2, 44100, 16))
            captured = frames_of(wav[44:])
            self.assertEqual(len(captured) // 2, 3000 * 441 // 10)
            # The music as oggdec decodes it: wav frame f plays at demo time 10000 + f / 44.1 ms, which
            # is device frame f + floor((10000 - 125) x 44.1), after the ring's leading silence.
            raw = work.file("music.raw")
            subprocess.run(["oggdec", "-Q", "-R", "-o", raw, MUSIC], check=True)
            reference = frames_of(read_bytes(raw))
            first = (10000 - 125) * 441 // 10 - RING_SILENCE_FRAMES
            expected = reference[first * 2:first * 2 + len(captured)]
            self.assertEqual(len(expected), len(captured))
            # Two decoders may round a sample differently by a step; a misplaced span is far off.
            self.assertLessEqual(max(abs(a - b) for a, b in zip(captured, expected)), DECODER_TOLERANCE)

    def test_y4m_stream(self):
        with WorkDir() as work:
            out = work.file("out")
            r = run(with_display([BVTOOL, "capture", SAMPLE, out, "--fps", "60000/1001", "--size", "64x36",
                                  "--from", "20000", "--to", "20500", "--y4m"]))
            self.assertEqual(r.returncode, 0, r.stderr)
            video = read_bytes(os.path.join(out, "video.y4m"))
            header, rest = video.split(b"\n", 1)
            self.assertEqual(header, b"YUV4MPEG2 W64 H36 F60000:1001 Ip A1:1 C420jpeg")
            frame = len(b"FRAME\n") + 64 * 36 * 3 // 2
            self.assertEqual(len(rest) % frame, 0)
            self.assertEqual(len(rest) // frame, 30)  # 500 ms at 59.94 frames a second, rounded up
            self.assertEqual(run([BVTOOL, "capture", SAMPLE, out, "--size", "63x36", "--y4m"]).returncode, 2)

    def test_music_the_player_would_refuse_and_spans_past_the_end(self):
        with WorkDir() as work:
            # The music lies one folder above the package: the player refuses the name, so the capture
            # has no music either.
            make_tone_ogg(work.file("tone.ogg"))
            os.mkdir(work.file("pkg"))
            doc, entries = quad_scene(100, 'file="../tone.ogg" offset="0"')
            make_package(work.file("pkg"), "test.dpk", [("demo.xmlz", pack_text(doc))] + entries)
            package = work.file("pkg", "test.dpk")
            r = run(with_display([BVTOOL, "capture", package, work.file("out"), "--size", "64x36", "--to", "500"]))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(b"not allowed", r.stdout)
            self.assertFalse(any(frames_of(read_bytes(work.file("out", "audio.wav"))[44:])))
            # The timeline ends at 1000 ms (plus its last hundredth): nothing to capture from there on.
            r = run(with_display([BVTOOL, "capture", package, work.file("late"), "--from", "1010"]))
            self.assertEqual(r.returncode, 2)
            self.assertIn(b"past the demo's end", r.stderr)

    def test_sound_equals_the_players_device_output(self):
        with WorkDir() as work:
            out = work.file("out")
            r = run(with_display([BVTOOL, "capture", SAMPLE, out, "--fps", "30", "--size", "64x36", "--to", "6000"]))
            self.assertEqual(r.returncode, 0, r.stderr)
            captured = frames_of(read_bytes(os.path.join(out, "audio.wav"))[44:])
            for name in ("sample.dpk", "music.ogg"):
                shutil.copy(os.path.join(SAMPLE_DIR, name), work.path)
            disk = work.file("device.raw")

            def escape(player):
                # Eight seconds of sound through the device (it writes in real time), then Escape.
                self.assertTrue(wait_until(lambda: os.path.exists(disk) and os.path.getsize(disk) >= 8 * 176400, 90))
                self.assertTrue(player.hold_key_until_exit("Escape"))

            env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": disk, "SDL_DISKAUDIODELAY": "186"}
            r = brightvale(work.path, choose=[Launcher.resolution(1), Launcher.FULLSCREEN], env=env, timeout=120,
                           after_start=escape)
            self.assertEqual(r.returncode, 0, r.stderr)
            device = frames_of(read_bytes(disk))
            # The device file also holds the silent buffers played before the music was unpaused;
            # from the first sound on, the two must agree sample for sample.
            a, b = first_sound(captured), first_sound(device)
            self.assertIsNotNone(a)
            self.assertIsNotNone(b)
            reference = frames_of(subprocess.run(["oggdec", "-Q", "-R", "-o", "-", MUSIC], check=True,
                                                 stdout=subprocess.PIPE).stdout)
            self.assertLessEqual(abs(a - (LEAD_IN_FRAMES + RING_SILENCE_FRAMES + first_sound(reference))), 1)
            length = min(len(captured) - a * 2, len(device) - b * 2)
            self.assertGreater(length, 4 * 44100 * 2)
            self.assertEqual(captured[a * 2:a * 2 + length], device[b * 2:b * 2 + length])


if __name__ == "__main__":
    unittest.main()
