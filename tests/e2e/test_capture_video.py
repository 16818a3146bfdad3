"""bvtool capture into a video file, judged by Debian's ffprobe and ffmpeg: the streams are what was
asked, the decoded frames are bvtool render's frames at the same times, the decoded sound is oggdec's
decoding of the music at the demo time of the picture, an interrupted capture still plays, and the
errors a user can act on leave nothing behind."""

import array
import cmath
import json
import math
import os
import pty
import select
import signal
import subprocess
import sys
import time
import unittest

import browser
from harness import (BUILD_DIR, BVTOOL, WINDOWS, Display, WorkDir, read_bytes, run, target_bvtool, with_display,
                     write_png)
from scenes import rgb_pixels

SAMPLE_DIR = os.path.join(BUILD_DIR, "sample")
SAMPLE = os.path.join(SAMPLE_DIR, "sample.dpk")
MUSIC = os.path.join(SAMPLE_DIR, "music.ogg")
FAILURE_DIR = os.path.join(BUILD_DIR, "video-failures")

# A span of the valley at 30 frames a second: frame k is demo time 10000 + k x 1000 / 30 ms.
FROM, TO, FPS, WIDTH, HEIGHT = 10000, 12000, 30, 640, 360
FRAMES = (TO - FROM) * FPS // 1000
CHECKED_FRAMES = (0, 15, 45)  # whole milliseconds: 10000, 10500 and 11500
# The sample's music element has offset 0: the music starts 125 ms into the demo, after the ring's
# 2048 frames of silence.
MUSIC_OFFSET_MS, RING_SILENCE_FRAMES, RATE = 125, 2048, 44100

CONTAINERS = {
    # extension: (video codec, audio codec, sound's signal-to-noise floor in dB)
    # The floors: AAC at 192 kb/s and Opus at 128 kb/s (through 48 kHz and back) keep the music's
    # waveform 26 and 24 dB above their error on this span; a misplaced or missing sound is near 0.
    "mp4": ("h264", "aac", 20.0),
    "mkv": ("h264", "aac", 20.0),
    "webm": ("vp9", "opus", 18.0),
}
# A page that plays the file its address names, muted, and says in its title how that went.
PLAY_PAGE = """<!doctype html><title>loading</title><video id="v" muted playsinline></video><script>
var v = document.getElementById("v");
v.onended = function () { document.title = "ended " + v.videoWidth + "x" + v.videoHeight + " " + v.duration; };
v.onerror = function () { document.title = "error " + (v.error && v.error.message); };
v.src = location.search.slice(1);
v.play().catch(function (e) { document.title = "error " + e; });
</script>"""
# dB, at the default quality, in each plane of the video's own Y'CbCr 4:2:0 against the rendered frame
# taken there by BT.709's formula. Measured in RGB it would judge the format rather than the
# encoder: 4:2:0 alone, with no compression, leaves 41 to 42 dB on this span at 640 x 360 and 23 dB
# on the thin saturated lines at 40 s.
PSNR_FLOOR = 40.0


def ffprobe(path, *args):
    r = subprocess.run(["ffprobe", "-v", "error", "-of", "json"] + list(args) + [path], check=True,
                       stdout=subprocess.PIPE)
    return json.loads(r.stdout)


def first_frame_time(path, kind):
    """Presentation time in seconds of the first decoded frame of the video ("v") or sound ("a")."""
    frames = ffprobe(path, "-select_streams", kind, "-show_entries", "frame=pts_time")["frames"]
    return float(frames[0]["pts_time"])


def fft(values, invert=False):
    """Radix-2 FFT of a list whose length is a power of two."""
    a = [complex(v) for v in values]
    n = len(a)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    size = 2
    while size <= n:
        half = size // 2
        step = cmath.exp((2j if invert else -2j) * math.pi / size)
        twiddles = [step ** k for k in range(half)]
        for start in range(0, n, size):
            for k in range(half):
                u, v = a[start + k], a[start + k + half] * twiddles[k]
                a[start + k], a[start + k + half] = u + v, u - v
        size *= 2
    return [x / n for x in a] if invert else a


def best_lag(signal_, reference, max_lag):
    """The shift d in [-max_lag, max_lag] at which signal_[i] best matches reference[max_lag + i + d]
    (cross-correlation through the FFT); reference holds max_lag extra values on either side."""
    size = 1
    while size < len(reference) + len(signal_):
        size *= 2
    a = fft(list(signal_) + [0] * (size - len(signal_)))
    b = fft(list(reference) + [0] * (size - len(reference)))
    correlation = fft([y * x.conjugate() for x, y in zip(a, b)], invert=True)
    return max(range(2 * max_lag + 1), key=lambda k: correlation[k].real) - max_lag


def psnr(expected, actual):
    mse = sum((x - y) * (x - y) for x, y in zip(expected, actual)) / len(expected)
    return 10 * math.log10(255 * 255 / mse) if mse else float("inf")


def bt709_planes(width, height, rgb):
    """Full-range RGB to limited-range BT.709 Y'CbCr 4:2:0 (chroma from the mean of each 2 x 2 block),
    from the standard's coefficients."""
    y = [16 + 219 * (0.2126 * rgb[i] + 0.7152 * rgb[i + 1] + 0.0722 * rgb[i + 2]) / 255
         for i in range(0, width * height * 3, 3)]
    cb, cr = [], []
    for row in range(0, height, 2):
        for col in range(0, width, 2):
            r = g = b = 0
            for i in (row * width + col, row * width + col + 1, (row + 1) * width + col, (row + 1) * width + col + 1):
                r, g, b = r + rgb[3 * i], g + rgb[3 * i + 1], b + rgb[3 * i + 2]
            r, g, b = r / 4, g / 4, b / 4
            luma = 0.2126 * r + 0.7152 * g + 0.0722 * b
            cb.append(128 + 224 * (b - luma) / 1.8556 / 255)
            cr.append(128 + 224 * (r - luma) / 1.5748 / 255)
    return y, cb, cr


def top_level_boxes(data):
    """The names of an MP4 file's top-level boxes, in order."""
    names, at = [], 0
    while at + 8 <= len(data):
        size = int.from_bytes(data[at:at + 4], "big")
        if size == 1:
            size = int.from_bytes(data[at + 8:at + 16], "big")
        names.append(data[at + 4:at + 8].decode("latin-1"))
        if size < 8:
            break
        at += size
    return names


def capture(out, *args, env=None):
    return run([BVTOOL, "capture", SAMPLE, out] + list(args), env=env, timeout=300)


@unittest.skipIf(WINDOWS, "the native bvtool makes video")
class VideoFiles(unittest.TestCase):
    """One capture per container of the same span, checked from several sides."""

    @classmethod
    def setUpClass(cls):
        cls.work = WorkDir().__enter__()
        cls.display = Display().__enter__()
        cls.files, cls.stderr = {}, {}
        for extension in CONTAINERS:
            path = cls.work.file("span." + extension)
            r = capture(path, "--fps", str(FPS), "--size", "%dx%d" % (WIDTH, HEIGHT), "--from", str(FROM), "--to",
                        str(TO), env=cls.display.env())
            if r.returncode != 0:
                raise AssertionError("capture to %s failed: %s" % (extension, r.stderr.decode()))
            cls.files[extension], cls.stderr[extension] = path, r.stderr
        cls.renders = {}
        for k in CHECKED_FRAMES:
            png = cls.work.file("render_%d.png" % k)
            r = run([BVTOOL, "render", SAMPLE, "--time", str(FROM + k * 1000 // FPS), "--size",
                     "%dx%d" % (WIDTH, HEIGHT), "--out", png], env=cls.display.env())
            if r.returncode != 0:
                raise AssertionError("render failed: %s" % r.stderr.decode())
            cls.renders[k] = rgb_pixels(png)
        raw = subprocess.run(["oggdec", "-Q", "-R", "-o", "-", MUSIC], check=True, stdout=subprocess.PIPE).stdout
        cls.music = array.array("h")
        cls.music.frombytes(raw)

    @classmethod
    def tearDownClass(cls):
        cls.display.__exit__(None, None, None)
        cls.work.__exit__(None, None, None)

    def test_streams_are_what_was_asked(self):
        for extension, (video_codec, audio_codec, _) in CONTAINERS.items():
            with self.subTest(extension):
                path = self.files[extension]
                info = ffprobe(path, "-count_frames", "-show_streams", "-show_format")
                video = [s for s in info["streams"] if s["codec_type"] == "video"]
                audio = [s for s in info["streams"] if s["codec_type"] == "audio"]
                self.assertEqual((len(video), len(audio)), (1, 1))
                v, a = video[0], audio[0]
                self.assertEqual((v["codec_name"], a["codec_name"]), (video_codec, audio_codec))
                self.assertEqual((v["width"], v["height"], v["pix_fmt"]), (WIDTH, HEIGHT, "yuv420p"))
                self.assertEqual((v["color_range"], v["color_space"], v["color_transfer"], v["color_primaries"]),
                                 ("tv", "bt709", "bt709", "bt709"))
                self.assertEqual(v["r_frame_rate"], "%d/1" % FPS)
                self.assertEqual(int(v["nb_read_frames"]), FRAMES)
                self.assertEqual(int(a["channels"]), 2)
                # The whole span, and no more than a frame beyond it (encoder delays).
                duration = float(info["format"]["duration"])
                self.assertGreaterEqual(duration, (TO - FROM) / 1000 - 0.001)
                self.assertLess(duration, (TO - FROM) / 1000 + 1 / FPS)
                # Progress goes to a terminal only.
                self.assertNotIn(b"frames a second", self.stderr[extension])
        # MP4: the index before the media, so that a browser plays it as it downloads.
        boxes = top_level_boxes(read_bytes(self.files["mp4"]))
        self.assertLess(boxes.index("moov"), boxes.index("mdat"), boxes)

    def test_frames_are_the_rendered_frames(self):
        for extension in CONTAINERS:
            for k in CHECKED_FRAMES:
                with self.subTest(extension=extension, frame=k):
                    width, height, rgb = self.renders[k]
                    expected = bt709_planes(width, height, rgb)
                    decoded = subprocess.run(
                        ["ffmpeg", "-v", "error", "-i", self.files[extension], "-vf", "select=eq(n\\,%d)" % k,
                         "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-"],
                        check=True, stdout=subprocess.PIPE).stdout
                    luma, chroma = width * height, width * height // 4
                    self.assertEqual(len(decoded), luma + 2 * chroma)
                    planes = (decoded[:luma], decoded[luma:luma + chroma], decoded[luma + chroma:])
                    values = [psnr(e, p) for e, p in zip(expected, planes)]
                    print("%s frame %d: PSNR Y %.1f Cb %.1f Cr %.1f dB" % ((extension, k) + tuple(values)),
                          file=sys.stderr)
                    if min(values) < PSNR_FLOOR:
                        self.write_failure(extension, k, width, height, decoded, expected[0])
                    self.assertGreaterEqual(min(values), PSNR_FLOOR, "PSNR Y, Cb, Cr: %s" % values)

    def write_failure(self, extension, k, width, height, decoded, expected_y):
        os.makedirs(FAILURE_DIR, exist_ok=True)
        stem = os.path.join(FAILURE_DIR, "%s_frame%d" % (extension, k))
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", self.files[extension], "-vf",
                        "select=eq(n\\,%d),scale=in_color_matrix=bt709:in_range=tv:out_range=pc" % k, "-frames:v", "1",
                        stem + "_actual.png"])
        difference = bytes(min(255, int(abs(a - e) * 8)) for a, e in zip(decoded[:width * height], expected_y))
        write_png(stem + "_luma_diff.png", width, height, bytes(v for d in difference for v in (d, d, d)))

    @unittest.skipUnless(os.path.exists(browser.CHROMIUM), "no headless Chromium")
    def test_a_browser_plays_them_to_the_end(self):
        with open(self.work.file("play.html"), "w") as page:
            page.write(PLAY_PAGE)
        with browser.StaticServer(self.work.path) as server, \
                browser.Browser(extra_args=["--autoplay-policy=no-user-gesture-required"]) as b:
            for extension in ("mp4", "webm"):
                with self.subTest(extension):
                    b.open(server.url + "play.html?span." + extension)
                    title = b.wait_title(["ended ", "error "], timeout=120)
                    self.assertIsNotNone(title, "the video neither ended nor failed")
                    words = title.split()
                    self.assertEqual(words[:2], ["ended", "%dx%d" % (WIDTH, HEIGHT)], title)
                    self.assertAlmostEqual(float(words[2]), (TO - FROM) / 1000, delta=1 / FPS)

    def test_sound_is_the_music_in_step_with_the_picture(self):
        for extension, (_, _, snr_floor) in CONTAINERS.items():
            with self.subTest(extension):
                path = self.files[extension]
                raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-ac", "2",
                                      "-ar", str(RATE), "-"], check=True, stdout=subprocess.PIPE).stdout
                decoded = array.array("h")
                decoded.frombytes(raw)
                # Decoded sample i plays at the picture's time (first frame = FROM) plus `ahead` + i.
                ahead = round((first_frame_time(path, "a") - first_frame_time(path, "v")) * RATE)
                first = (FROM - MUSIC_OFFSET_MS) * 441 // 10 - RING_SILENCE_FRAMES + ahead  # music frame of sample 0
                span = (TO - FROM) * RATE // 1000
                begin = max(0, -ahead)  # the first sample at or after the first frame
                self.assertGreaterEqual(len(decoded) // 2 - begin, span - 32, "the sound covers the span")

                def mono(samples, start, count):
                    return [(samples[2 * i] + samples[2 * i + 1]) / 2 for i in range(start, start + count)]

                window, max_lag = 16384, RATE // FPS
                at = begin + 8192
                lag = best_lag(mono(decoded, at, window), mono(self.music, first + at - max_lag, window + 2 * max_lag),
                               max_lag)
                # Over the span, less 1024 frames at either end, aligned by the lag.
                signal_power = noise_power = 0
                for i in range(2 * (begin + 1024), 2 * (begin + span - 1024)):
                    expected = self.music[2 * (first + lag) + i]
                    signal_power += expected * expected
                    noise_power += (decoded[i] - expected) ** 2
                snr = 10 * math.log10(signal_power / max(noise_power, 1))
                print("%s: sound %.2f ms from the picture, signal-to-noise %.1f dB" % (extension, lag * 1000 / RATE, snr),
                      file=sys.stderr)
                self.assertLess(abs(lag), max_lag, "the sound is a frame or more off the picture")
                self.assertGreaterEqual(snr, snr_floor)


@unittest.skipIf(WINDOWS, "the native bvtool makes video")
class Interrupted(unittest.TestCase):
    def test_ctrl_c_finishes_a_file_that_plays(self):
        with WorkDir() as work, Display() as display:
            out = work.file("whole.mp4")
            leader, follower = pty.openpty()
            proc = subprocess.Popen([BVTOOL, "capture", SAMPLE, out, "--size", "160x90"], stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=follower, env=dict(os.environ, **display.env()))
            os.close(follower)
            seen = b""
            encoded = 0
            try:
                # Interrupted once the progress line says frames are being encoded.
                deadline = time.monotonic() + 240
                while encoded < 30 and time.monotonic() < deadline and proc.poll() is None:
                    if select.select([leader], [], [], 0.5)[0]:
                        try:
                            seen += os.read(leader, 4096)
                        except OSError:
                            break
                        lines = [line for line in seen.split(b"\r") if b"frames a second" in line]
                        if lines:
                            encoded = int(lines[-1].split()[1])
                self.assertGreaterEqual(encoded, 30, seen.decode(errors="replace"))
                self.assertRegex(lines[-1], rb"^frame \d+ of \d+, [\d.]+ frames a second, \d+ s left")
                total = int(lines[-1].split()[3].rstrip(b","))
                self.assertTrue(os.path.exists(out + ".partial"))
                proc.send_signal(signal.SIGINT)
                while select.select([leader], [], [], 60)[0]:
                    try:
                        chunk = os.read(leader, 4096)
                    except OSError:
                        break
                    if not chunk:
                        break
                    seen += chunk
                proc.wait(60)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
                os.close(leader)
            self.assertEqual(proc.returncode, -signal.SIGINT, seen.decode(errors="replace"))
            self.assertIn(b"interrupted", seen)
            self.assertFalse(os.path.exists(out + ".partial"))
            info = ffprobe(out, "-count_frames", "-show_streams")
            video = [s for s in info["streams"] if s["codec_type"] == "video"][0]
            audio = [s for s in info["streams"] if s["codec_type"] == "audio"][0]
            frames = int(video["nb_read_frames"])
            self.assertGreaterEqual(frames, encoded)
            self.assertLess(frames, total)
            self.assertLess(abs(float(audio["duration"]) - float(video["duration"])), 0.05)
            played = subprocess.run(["ffmpeg", "-v", "error", "-i", out, "-f", "null", "-"], stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE)
            self.assertEqual((played.returncode, played.stderr), (0, b""))


class Errors(unittest.TestCase):
    CASES = [
        # (name of the file, extra arguments, what the one line says)
        ("clip.avi", [], b"unknown kind of video"),
        ("clip.mp4", ["--size", "321x180"], b"even width and height"),
        ("missing/clip.mp4", [], b"cannot write"),
        ("a_file/clip.mkv", [], b"cannot write"),
    ]

    @unittest.skipIf(WINDOWS, "the native bvtool makes video")
    def test_each_error_is_one_line_and_leaves_nothing(self):
        with WorkDir() as work:
            with open(work.file("a_file"), "wb"):
                pass
            for name, args, message in self.CASES:
                with self.subTest(name):
                    before = sorted(os.listdir(work.path))
                    r = run(with_display([BVTOOL, "capture", SAMPLE, work.file(name)] + args))
                    self.assertEqual(r.returncode, 2, r.stderr)
                    lines = r.stderr.decode().splitlines()
                    self.assertEqual(len(lines), 1, lines)
                    self.assertTrue(lines[0].startswith("bvtool: capture: "), lines)
                    self.assertIn(message, r.stderr)
                    self.assertEqual(sorted(os.listdir(work.path)), before)

    @unittest.skipUnless(WINDOWS, "the Windows bvtool")
    def test_windows_says_the_native_tool_makes_video(self):
        with WorkDir() as work:
            r = target_bvtool("capture", SAMPLE, work.file("clip.mp4"))
            self.assertEqual(r.returncode, 2, r.stderr)
            lines = r.stderr.decode().splitlines()
            self.assertEqual(len(lines), 1, lines)
            self.assertIn("bvtool on Linux", lines[0])
            self.assertEqual(os.listdir(work.path), [])


if __name__ == "__main__":
    unittest.main()
