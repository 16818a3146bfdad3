"""Golden frames of the test demo and of the sample demo: regression checks with stated thresholds.
A failing comparison writes the actual frame and a difference image next to the build's other
outputs."""

import os
import unittest

from harness import BUILD_DIR, DATA_DIR, TESTDEMO, WINDOWS, WorkDir, target_bvtool
from scenes import rgb_pixels

GOLDEN_DIR = os.path.join(DATA_DIR, "golden")
FAILURE_DIR = os.path.join(BUILD_DIR, "golden-failures")
MAX_CHANNEL_DIFFERENCE = 40  # a few edge pixels may move by a rasterisation step
MEAN_DIFFERENCE = 0.5        # per channel, over the whole frame


def write_ppm(path, width, height, raw):
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (width, height) + raw)


SAMPLE = os.path.join(BUILD_DIR, "sample", "sample.dpk")
# One or two frames of each scene of the sample demo, chosen to show each of its features.
SAMPLE_TIMES = [2000, 6000, 10000, 20000, 26000, 34000, 42000, 46000, 50000, 58000, 66000, 71500]
# Under Wine each render costs a start of Wine: three frames, a lake, the reflections and words.
if WINDOWS:
    SAMPLE_TIMES = [10000, 42000, 66000]


class Golden(unittest.TestCase):
    def compare(self, name, time_ms, flags, package=TESTDEMO, size="640x360"):
        golden = os.path.join(GOLDEN_DIR, name)
        with WorkDir() as work:
            out = work.file("frame.png")
            r = target_bvtool("render", package, "--time", time_ms, "--size", size, "--out", out, *flags)
            self.assertEqual(r.returncode, 0, r.stderr)
            w, h, actual = rgb_pixels(out)
            gw, gh, expected = rgb_pixels(golden)
            self.assertEqual((w, h), (gw, gh))
            diffs = [abs(a - b) for a, b in zip(actual, expected)]
            worst, mean = max(diffs), sum(diffs) / len(diffs)
            if worst > MAX_CHANNEL_DIFFERENCE or mean > MEAN_DIFFERENCE:
                os.makedirs(FAILURE_DIR, exist_ok=True)
                stem = os.path.join(FAILURE_DIR, ("windows_" if WINDOWS else "") +
                                    os.path.splitext(name)[0].replace("/", "_"))
                with open(out, "rb") as src, open(stem + "_actual.png", "wb") as dst:
                    dst.write(src.read())
                write_ppm(stem + "_diff.ppm", w, h, bytes(min(255, d * 4) for d in diffs))
                self.fail("%s differs: max %d (limit %d), mean %.3f (limit %.3f); see %s_actual.png and _diff.ppm"
                          % (name, worst, MAX_CHANNEL_DIFFERENCE, mean, MEAN_DIFFERENCE, stem))

    def test_testdemo_at_one_second_glsl(self):
        self.compare("testdemo_1000_glsl.png", 1000, [])

    def test_testdemo_at_one_second_combiners(self):
        self.compare("testdemo_1000_combiners.png", 1000, ["--combiners"])

    def test_sample_demo_in_both_paths(self):
        for time_ms in SAMPLE_TIMES:
            for path, flags in [("glsl", []), ("combiners", ["--combiners"])]:
                with self.subTest(time=time_ms, path=path):
                    self.compare("sample/sample_%d_%s.png" % (time_ms, path), time_ms, flags, SAMPLE, "320x180")


if __name__ == "__main__":
    unittest.main()
