"""The sample demo's music as built: oggdec decodes it to 44.1 kHz stereo lasting 74 s, it never
sits at full scale, its sections differ in level as arranged and each change lands on its bar line;
the synthesiser writes the same WAV bytes on every run."""

import array
import math
import os
import sys
import unittest
import wave

from harness import BUILD_DIR, WorkDir, read_bytes, run

MUSIC = os.path.join(BUILD_DIR, "sample", "music.ogg")
SYNTH = os.path.join(BUILD_DIR, "bv_synth")
RATE = 44100
BAR = 2.0  # seconds: 120 beats per minute, four beats to the bar

# Sections as bar ranges [first, end).
SECTIONS = {"intro": (0, 4), "beat": (4, 12), "groove": (12, 20), "breakdown": (20, 24),
            "climax": (24, 32), "outro": (32, 36)}

# Bar lines where the arrangement changes, the direction of the change and the least change in dB
# between the quarter second before the line and the quarter second after it.
BAR_LINE_CHANGES = (
    (8.0, +1, 6.0),   # kick, hats and bass come in
    (24.0, +1, 2.0),  # snare, open hats, lead and a crash
    (40.0, -1, 3.0),  # drums and bass drop out for the breakdown
    (48.0, +1, 1.0),  # the snare roll gives way to the climax and its crash
    (68.0, -1, 4.0),  # the last kick
    (72.0, +1, 20.0), # the final chord after the faded outro
)


def load_wav(path):
    """Returns (channels, rate, sample width, interleaved 16-bit samples) read by Python's wave module."""
    with wave.open(path, "rb") as w:
        samples = array.array("h")
        samples.frombytes(w.readframes(w.getnframes()))
        if sys.byteorder == "big":
            samples.byteswap()
        return w.getnchannels(), w.getframerate(), w.getsampwidth(), samples


def rms_db(samples, t0, t1):
    """RMS of both channels between two times, in dB relative to full scale."""
    part = samples[int(t0 * RATE) * 2:int(t1 * RATE) * 2]
    power = math.fsum(x * x for x in part) / len(part)
    return 10.0 * math.log10(max(power, 1e-12) / (32768.0 * 32768.0))


def longest_full_scale_run(samples):
    """Longest run of consecutive samples of one channel at +-32767 or -32768."""
    if max(samples) < 32767 and min(samples) > -32767:
        return 0
    longest = 0
    for channel in (0, 1):
        run_length = 0
        for x in samples[channel::2]:
            run_length = run_length + 1 if x >= 32767 or x <= -32767 else 0
            longest = max(longest, run_length)
    return longest


class SampleMusic(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(MUSIC):
            raise AssertionError("%s is missing: build the sample_music target" % MUSIC)
        cls.work = WorkDir().__enter__()
        decoded = cls.work.file("music.wav")
        result = run(["oggdec", "-Q", "-o", decoded, MUSIC])
        if result.returncode != 0:
            raise AssertionError("oggdec failed: %s" % result.stderr.decode(errors="replace"))
        cls.channels, cls.rate, cls.width, cls.samples = load_wav(decoded)
        cls.bars = [rms_db(cls.samples, b * BAR, (b + 1) * BAR) for b in range(36)]

    @classmethod
    def tearDownClass(cls):
        cls.work.__exit__(None, None, None)

    def section_db(self, name):
        """Mean power of a section's bars, in dB."""
        first, end = SECTIONS[name]
        powers = [10.0 ** (db / 10.0) for db in self.bars[first:end]]
        return 10.0 * math.log10(sum(powers) / len(powers))

    def test_format_and_duration(self):
        self.assertEqual((self.channels, self.rate, self.width), (2, RATE, 2))
        seconds = len(self.samples) / 2 / RATE
        self.assertAlmostEqual(seconds, 74.0, delta=0.05)

    def test_level_is_healthy_and_never_clips(self):
        peak = max(max(self.samples), -min(self.samples))
        self.assertGreater(peak, 32768 * 10 ** (-3 / 20), "peaks should come within 3 dB of full scale")
        self.assertLessEqual(longest_full_scale_run(self.samples), 2)

    def test_sections_differ_in_level(self):
        db = {name: self.section_db(name) for name in SECTIONS}
        for quiet in ("intro", "breakdown"):
            for loud in ("groove", "climax"):
                margin = 10.0 if quiet == "intro" else 3.0
                self.assertLess(db[quiet], db[loud] - margin, "%s against %s: %r" % (quiet, loud, db))
        for other in SECTIONS:
            if other != "climax":
                self.assertGreater(db["climax"], db[other] + 0.5, "climax against %s: %r" % (other, db))

    def test_changes_land_on_bar_lines(self):
        for t, direction, least_db in BAR_LINE_CHANGES:
            before = rms_db(self.samples, t - 0.25, t)
            after = rms_db(self.samples, t, t + 0.25)
            self.assertGreater((after - before) * direction, least_db,
                               "at %.1f s: %.1f dB before, %.1f dB after" % (t, before, after))

    def test_synth_is_deterministic(self):
        with WorkDir() as work:
            outputs = [work.file("a.wav"), work.file("b.wav")]
            for path in outputs:
                result = run([SYNTH, path])
                self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(read_bytes(outputs[0]), read_bytes(outputs[1]))
            channels, rate, width, samples = load_wav(outputs[0])
            self.assertEqual((channels, rate, width, len(samples)), (2, RATE, 2, 74 * RATE * 2))


if __name__ == "__main__":
    unittest.main()
