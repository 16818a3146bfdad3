"""The player as a page (index.html from bvtool web, in headless Chromium with sound allowed): the
launcher in the page, the demo to its end with the native player's log lines (in headless Firefox
ESR too), Escape, closing the launcher, the loading scene while loading, launcher choices reaching
the demo, the sound the device is handed (resampled as the desktop player resamples it), and bad
input shown in the page's log."""

import base64
import gzip
import os
import re
import struct
import time
import unittest

import browser
import firefox
from harness import BUILD_DIR, BVTOOL, Launcher, WorkDir, brightvale, make_package, make_tone_ogg, pack_text, \
    read_log, run, wait_until
from scenes import pixel, quad_scene, rgb_pixels
from test_music import decoded_by_oggdec, samples

WEB_BUILD = os.path.abspath(os.environ.get("BV_WEB_BUILD") or os.path.join(BUILD_DIR, "..", "build-web"))
SAMPLE = os.path.join(BUILD_DIR, "sample", "sample.dpk")
TIMELINE = 300      # hundredths: 3 s of demo
TOLERANCE = 4       # per sample, against oggdec
RESAMPLED_TOLERANCE = 1  # per sample, against the desktop player's resampled sound
SEPARATOR = "=" * 74
PAGE_WEIGHT = 1000000  # bytes: what index.html downloads (page, script, wasm) gzipped at level 9


def served_folder(work, package, extra=()):
    """bvtool web of the package into work/site; extra files (name, bytes) are added beside it."""
    site = work.file("site")
    r = run([BVTOOL, "web", package, site, "--pages", WEB_BUILD])
    if r.returncode != 0:
        raise RuntimeError(r.stderr.decode())
    for name, data in extra:
        with open(os.path.join(site, name), "wb") as f:
            f.write(data)
    return site


def screenshot(work, page, x, y, width, height):
    """The page's pixels in a rectangle, decoded by ImageMagick: (width, height, rgb)."""
    path = work.file("shot-%d.png" % time.monotonic_ns())
    with open(path, "wb") as f:
        f.write(page.b.screenshot(x, y, width, height))
    return rgb_pixels(path)


def without_capabilities(lines):
    """The lines without the capability tests between the two separator lines (what the driver
    offers differs) and with the benchmark figure blanked."""
    out, inside = [], False
    for line in lines:
        if line == SEPARATOR:
            inside = not inside
            continue
        if not inside:
            out.append(re.sub(r"^Benchmark result: \d+\.\d\d fps$", "Benchmark result: N fps", line))
    return out


class Page:
    """The player page of a served folder in one browser."""

    def __init__(self, b, url):
        self.b = b
        b.open(url)
        self.wait_phase("launcher", "ended")
        self.box = b.evaluate("(function(){var r=document.getElementById('launcher').getBoundingClientRect();"
                              "return [r.left, r.top]})()")

    def phase(self):
        return self.b.evaluate("window.bvPage ? bvPage.phaseName : ''")

    def wait_phase(self, *names, timeout=180):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.phase() in names:
                return self.phase()
            time.sleep(0.05)
        raise AssertionError("the page never reached %s (it is %s; log %s)" % (names, self.phase(), self.lines()))

    def lines(self):
        return self.b.evaluate("window.bvPage ? bvPage.lines : []")

    def click(self, point):
        for down in (True, False):
            self.b.mouse(down, self.box[0] + point[0], self.box[1] + point[1])


def chromium():
    return browser.Browser(extra_args=["--autoplay-policy=no-user-gesture-required"])


def with_page(test, site, query="", engine=chromium):
    """The page of a served folder in a browser of its own (engine: chromium or firefox.Firefox)."""
    server = browser.StaticServer(site).__enter__()
    test.addCleanup(server.__exit__, None, None, None)
    b = engine().__enter__()
    test.addCleanup(b.__exit__, None, None, None)
    return Page(b, server.url + "index.html" + query)


def native_play(folder, files):
    """The desktop player in a folder of its own with the named files of folder, sound to SDL's disk
    driver: (log lines, device bytes)."""
    with WorkDir() as native:
        for name in files:
            with open(os.path.join(folder, name), "rb") as src, open(native.file(name), "wb") as dst:
                dst.write(src.read())
        env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": native.file("device.raw"),
               "SDL_DISKAUDIODELAY": "186"}
        r = brightvale(native.path, env=env)
        if r.returncode != 0:
            raise AssertionError("the desktop player failed: %r" % r)
        with open(native.file("device.raw"), "rb") as f:
            device = f.read()
        return read_log(native.path).decode().replace("\r\n", "\n").split("\n")[:-1], device


@unittest.skipUnless(os.path.exists(os.path.join(WEB_BUILD, "index.wasm")), "no web build (scripts/build-web.sh)")
class WebPlayer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = WorkDir().__enter__()
        cls.ogg = cls.work.file("tone.ogg")
        make_tone_ogg(cls.ogg)
        doc, entries = quad_scene(TIMELINE, 'file="tone.ogg"')
        make_package(cls.work.path, "test.dpk", [("demo.xmlz", pack_text(doc))] + entries)
        cls.package = cls.work.file("test.dpk")
        cls.site = served_folder(cls.work, cls.package)

    @classmethod
    def tearDownClass(cls):
        cls.work.__exit__(None, None, None)

    def test_start_plays_to_the_end_with_the_native_log_and_the_decoded_sound(self):
        self.plays_to_the_end(chromium)

    @unittest.skipUnless(firefox.available(), "no Firefox ESR (scripts/build-web.sh installs it)")
    def test_firefox_plays_to_the_end_with_the_native_log_and_the_decoded_sound(self):
        self.plays_to_the_end(firefox.Firefox)

    def plays_to_the_end(self, engine):
        page = with_page(self, self.site, "?record=1", engine)
        if engine is firefox.Firefox and page.b.webgl2_missing():
            self.skipTest(page.b.webgl2_missing())
        # The launcher's defaults, with the combiner row faded: a switch click redraws its mark.
        mark = (page.box[0] + 279, page.box[1] + 10, 22, 22)
        before = screenshot(self.work, page, *mark)
        page.click(Launcher.FULLSCREEN)
        self.assertNotEqual(screenshot(self.work, page, *mark), before, "the fullscreen mark follows the click")
        page.click(Launcher.FULLSCREEN)
        page.click(Launcher.START)
        page.wait_phase("ended")
        web = page.lines()

        native_lines = native_play(self.site, ("test.dpk", "tone.ogg"))[0]
        self.assertEqual(without_capabilities(web), without_capabilities(native_lines))
        self.assertIn("Benchmark result: N fps", without_capabilities(web))
        self.assertIn("Using GLSL shaders.", web)

        sound = base64.b64decode(page.b.evaluate("bvPage.recordedSound()"))
        out, ref = samples(sound), samples(decoded_by_oggdec(self.ogg))
        start = next((k for k in range(0, len(out) - 64, 2)
                      if all(abs(out[k + j] - ref[j]) <= TOLERANCE for j in range(64))), None)
        self.assertIsNotNone(start, "the music never starts")
        self.assertTrue(all(v == 0 for v in out[:start]), "only silence comes before the music")
        played = min(len(out) - start, len(ref))
        self.assertGreater(played / 88200, TIMELINE / 100 - 0.5, "the music plays until the timeline ends")
        worst = max(abs(out[start + j] - ref[j]) for j in range(played))
        self.assertLessEqual(worst, TOLERANCE, "no gap, repeat or reordering")
        page.b.drain(0.2)
        self.assertEqual([c for c in page.b.console if c[0] in ("error", "warning") or "starved" in c[1]], [])

    def test_the_player_page_downloads_at_most_a_megabyte_gzipped(self):
        weights = {}
        for name in ("index.html", "index.js", "index.wasm"):
            with open(os.path.join(WEB_BUILD, name), "rb") as f:
                weights[name] = len(gzip.compress(f.read(), 9))
        self.assertLessEqual(sum(weights.values()), PAGE_WEIGHT, weights)

    def test_music_at_another_rate_is_resampled_as_the_desktop_player_resamples_it(self):
        # At 48 kHz the music goes through the resampler (the page's build of the library keeps only
        # the converter the engine asks for): the device gets what the desktop player hands its own.
        with WorkDir() as work:
            make_tone_ogg(work.file("tone48.ogg"), rate=48000)
            doc, entries = quad_scene(TIMELINE, 'file="tone48.ogg"')
            make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(doc))] + entries)
            site = served_folder(work, work.file("test.dpk"))
            page = with_page(self, site, "?record=1")
            page.click(Launcher.START)
            page.wait_phase("ended")
            web = samples(base64.b64decode(page.b.evaluate("bvPage.recordedSound()")))
            native = samples(native_play(site, ("test.dpk", "tone48.ogg"))[1])
        music = [next((k - k % 2 for k, v in enumerate(out) if v), None) for out in (web, native)]
        self.assertNotIn(None, music, "the music never starts")
        played = min(len(web) - music[0], len(native) - music[1])
        self.assertGreater(played / 88200, TIMELINE / 100 - 0.5, "the music plays until the timeline ends")
        # The page's Vorbis decode rounds about one sample in 5000 the other way (as at 44.1 kHz,
        # TOLERANCE); the resampler adds nothing to that.
        differ = [(j, web[music[0] + j], native[music[1] + j]) for j in range(played)
                  if web[music[0] + j] != native[music[1] + j]]
        self.assertLessEqual(max((abs(w - n) for _, w, n in differ), default=0), RESAMPLED_TOLERANCE, differ[:5])
        self.assertLess(len(differ), played // 1000, differ[:5])

    def test_escape_and_leaving_fullscreen_end_without_a_benchmark_line(self):
        escape = dict(key="Escape", code="Escape", windowsVirtualKeyCode=27, nativeVirtualKeyCode=27)
        for way in ("Escape", "the browser leaving fullscreen"):
            page = with_page(self, self.site)
            page.click(Launcher.START)  # fullscreen on, as by default
            page.wait_phase("playing", "ended")
            if way == "Escape":
                page.b.call("Input.dispatchKeyEvent", type="rawKeyDown", **escape)
                page.wait_phase("ended", timeout=60)
                page.b.call("Input.dispatchKeyEvent", type="keyUp", **escape)
            else:
                self.assertTrue(page.b.evaluate("bvPage.wentFullscreen"), "the Start release asked for fullscreen")
                page.b.evaluate("document.exitFullscreen()")
                page.wait_phase("ended", timeout=60)
            lines = page.lines()
            self.assertEqual(lines[-1], "Bye!", way)
            self.assertFalse([l for l in lines if l.startswith("Benchmark result")], way)

    def test_closing_the_launcher_says_bye(self):
        page = with_page(self, self.site)
        page.b.evaluate("document.getElementById('close').click()")
        page.wait_phase("ended")
        self.assertEqual(page.lines(), ["Brightvale Engine v1.2", "Bye!"])
        self.assertEqual(page.b.evaluate("bvPage.status"), 0)

    def test_choices_reach_the_canvas_the_viewport_and_the_log(self):
        page = with_page(self, self.site)
        # 1280x720 on a 4:3 monitor, music off; the combiner row does not take.
        for point in (Launcher.resolution(7), Launcher.aspect(1), Launcher.MUSIC, Launcher.COMBINERS):
            page.click(point)
        page.click(Launcher.START)
        page.wait_phase("playing", "ended")
        self.assertEqual(page.b.evaluate("[canvas.width, canvas.height]"), [1280, 720])
        box = page.b.evaluate("(function(){var r=canvas.getBoundingClientRect();return [r.left, r.top]})()")
        # The first demo frame follows the playing phase: wait until the picture's middle is drawn.
        shots = []
        wait_until(lambda: shots.append(screenshot(self.work, page, box[0], box[1], 1280, 720)) or
                   pixel(shots[-1], 640, 360) != (0, 0, 0), 60)
        shot = shots[-1]
        # The 16:9 picture of a 4:3 monitor: 540 rows, with bars of 90 above and below.
        for y, lit in ((45, False), (92, True), (360, True), (627, True), (675, False)):
            self.assertEqual(pixel(shot, 640, y) != (0, 0, 0), lit, y)
        page.wait_phase("ended")
        lines = page.lines()
        self.assertIn("Using GLSL shaders.", lines, "the combiners cannot be chosen in a browser")
        self.assertFalse([l for l in lines if l.startswith("Audio buffer size")], "music off")
        self.assertTrue(lines[-2].startswith("Benchmark result"), lines)

    def test_bad_input_is_logged_on_the_page(self):
        with WorkDir() as work:
            site = served_folder(work, self.package)
            os.remove(os.path.join(site, "tone.ogg"))
            page = with_page(self, site)
            page.click(Launcher.START)
            page.wait_phase("ended")
            lines = page.lines()
            self.assertIn("Error: cannot open tone.ogg!", lines)
            self.assertTrue(lines[-2].startswith("Benchmark result"), "plays without music")

            # A document whose compressed bytes are not zlib's.
            make_package(work.path, "damaged.dpk", [("demo.xmlz", struct.pack("<I", 4000) + b"not zlib data" * 9)])
            os.replace(work.file("damaged.dpk"), os.path.join(site, "test.dpk"))
            page = with_page(self, site)
            page.click(Launcher.START)
            page.wait_phase("ended")
            self.assertEqual(page.b.evaluate("bvPage.status"), 1)
            self.assertEqual(page.lines()[-1], "Error: demo.xmlz is damaged and cannot be inflated.")
            self.assertTrue(page.b.evaluate("document.getElementById('end').offsetHeight > 0"), "the end is shown")

            os.remove(os.path.join(site, "test.dpk"))
            page = with_page(self, site)
            page.click(Launcher.START)
            page.wait_phase("ended")
            self.assertEqual(page.lines()[-1], "Sux... no dpk file.")

    @unittest.skipUnless(os.path.exists(SAMPLE), "no sample demo")
    def test_the_loading_scene_is_seen_while_the_sample_loads(self):
        with WorkDir() as work:
            page = with_page(self, served_folder(work, SAMPLE), "?hold=1")
            page.click(Launcher.FULLSCREEN)
            page.click(Launcher.START)
            self.assertTrue(wait_until(lambda: page.b.evaluate("bvPage.held !== null"), 120), "no progress frame")
            self.assertEqual(page.phase(), "loading")
            size = page.b.evaluate("[canvas.width, canvas.height]")
            shot = screenshot(work, page, 0, 0, size[0], size[1])
            samples = [pixel(shot, x, y) for y in range(0, size[1], 8) for x in range(0, size[0], 8)]
            lit = sum(1 for p in samples if p != (0, 0, 0))
            self.assertGreater(lit, len(samples) // 20, "the loading scene is drawn")
            page.b.evaluate("bvPage.release()")
            page.wait_phase("playing")
