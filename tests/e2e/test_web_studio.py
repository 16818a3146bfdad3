"""The studio page (studio.html from bvtool web of the sample's folder with its music) in headless
Chromium and headless Firefox ESR: it opens the sample; a value typed into the editor with real key
events changes the frame; a mistake typed shows its diagnostic at its line and keeps the last frame
with the reason in the page; a seek shows the frame that frame.html draws at that time; the package
the page makes equals bvtool build of the same text, byte for byte; the console stays clean."""

import base64
import json
import os
import shutil
import subprocess
import time
import unittest
import zipfile

import browser
import firefox
import frame_compare
from harness import BUILD_DIR, BVTOOL, WorkDir, read_bytes, run, write_bytes
from scenes import rgb_pixels
from test_web_frames import blur3

WEB_BUILD = os.path.abspath(os.environ.get("BV_WEB_BUILD") or os.path.join(BUILD_DIR, "..", "build-web"))
SAMPLE_SOURCES = os.path.join(BUILD_DIR, "sample", "src")
OPEN_TIMEOUT = 300   # s: the sample opened (worker, package, frame, timeline, music), on a loaded machine
TYPED_TIMEOUT = 60   # s: from the last key typed to the frame of the new text on screen

# The valley's camera: its field of view (the seventh value of the layer) goes from 55 to 25 degrees.
VALLEY_LINE = '<layer id="@valley"'
FIELD_OF_VIEW = '<v type="static" value="55"/>'
TYPED_AT = 12000     # ms: inside the valley
SEEK_TO = 20000      # ms: compared with frame.html

# Frames are compared at half size (320 x 180): the plain mean difference per channel, and the
# 99.9th percentile of the shifted difference of the frames blurred over 3 x 3 pixels
# (frame_compare). The same browser draws both, so the frames should agree closely; a changed
# field of view moves most pixels (a mean difference of tens).
SAME_LIMITS = {"mean": 1.0, "p999": 32}
CHANGED_MEAN = 4.0


def chromium():
    return browser.Browser(width=1400, height=900, extra_args=["--autoplay-policy=no-user-gesture-required"])


def half_size(work, png):
    path = work.file("shot-%d.png" % time.monotonic_ns())
    write_bytes(path, png)
    small = path + ".small.png"
    subprocess.run(["convert", path, "-resize", "320x180!", small], check=True)
    return rgb_pixels(small)[2]


def measure(a, b):
    shifted = frame_compare.shifted_differences(320, 180, blur3(320, 180, a), blur3(320, 180, b))
    return frame_compare.plain_mean(a, b), frame_compare.percentile(shifted, 0.999)


class StudioChecks:
    """The checks, for one engine (ENGINE makes the browser)."""

    ENGINE = None

    @classmethod
    def setUpClass(cls):
        cls.work = WorkDir().__enter__()
        cls.site = cls.work.file("site")
        r = run([BVTOOL, "web", SAMPLE_SOURCES, cls.site, "--pages", WEB_BUILD, "--name", "sample"])
        if r.returncode != 0:
            raise RuntimeError(r.stderr.decode())
        cls.server = browser.StaticServer(cls.site).__enter__()
        cls.b = cls.ENGINE().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.b.__exit__(None, None, None)
        cls.server.__exit__(None, None, None)
        cls.work.__exit__(None, None, None)

    def evaluate_async(self, expression, timeout):
        """Waits for a promise of the page; its value (JSON-able)."""
        token = "bvAsync%d" % time.monotonic_ns()
        self.b.evaluate("(window.%s = null, Promise.resolve(%s).then(function (v) { window.%s = {value: v}; },"
                        " function (e) { window.%s = {error: String(e && e.message || e)}; }), 0)"
                        % (token, expression, token, token))
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            got = self.b.evaluate("window.%s" % token)
            if got:
                if "error" in got:
                    raise AssertionError("the page failed: %s" % got["error"])
                return got["value"]
            time.sleep(0.05)
        raise AssertionError("the page did not answer %s within %d s (problem: %s)"
                             % (expression, timeout, self.b.evaluate("window.studio && studio.problem()")))

    def open_studio(self, query=""):
        """Opens studio.html (with a query) and waits until it says it is ready or failed."""
        self.b.open(self.server.url + "studio.html" + query)
        deadline = time.monotonic() + OPEN_TIMEOUT
        while not (self.b.evaluate("document.title") or "").startswith(("studio ready", "studio failed")):
            self.assertLess(time.monotonic(), deadline, "the studio did not open")
            time.sleep(0.1)

    def frame_pixels(self):
        box = self.b.evaluate("(function(){var r=document.querySelector('#frame-holder canvas')"
                              ".getBoundingClientRect();return [r.left, r.top, r.width, r.height]})()")
        self.assertEqual(box[2:], [640, 360])
        return half_size(self.work, self.b.screenshot(box[0], box[1], 640, 360))

    def wait_text(self, expected, timeout=30):
        """demo.xml's text once it is the expected one (or what it is at the deadline)."""
        deadline = time.monotonic() + timeout
        while True:
            text = self.b.evaluate("studio.text('demo.xml')")
            if text == expected or time.monotonic() > deadline:
                return text
            time.sleep(0.05)

    def place(self, line, column):
        return self.evaluate_async("studio.place('demo.xml', %d, %d)" % (line, column), 30)

    def test_studio(self):
        b = self.b
        if hasattr(b, "webgl2_missing"):
            b.open(self.server.url + "manifest.json")
            why = b.webgl2_missing()
            if why:
                self.skipTest(why)
        b.open(self.server.url + "studio.html")
        deadline = time.monotonic() + OPEN_TIMEOUT
        while time.monotonic() < deadline:
            title = b.evaluate("document.title") or ""
            if title.startswith(("studio ready", "studio failed")):
                break
            time.sleep(0.1)
        self.assertEqual(title, "studio ready: sample", b.evaluate("window.studio && studio.problem()"))
        self.assertEqual(b.evaluate("studio.problem()"), "")
        original = b.evaluate("studio.text('demo.xml')")
        self.assertEqual(original, read_bytes(os.path.join(SAMPLE_SOURCES, "demo.xml")).decode())

        with self.subTest("a value typed changes the frame"):
            self.evaluate_async("(studio.seek(%d), studio.frame())" % TYPED_AT, 60)
            before = self.frame_pixels()
            lines = original.split("\n")
            line = next(i for i, text in enumerate(lines) if VALLEY_LINE in text) + 1
            column = lines[line - 1].index(FIELD_OF_VIEW) + len('<v type="static" value="55') + 1
            at = self.place(line, column)
            b.mouse(True, at["x"], at["y"])
            b.mouse(False, at["x"], at["y"])
            for key in ("Backspace", "Backspace", "2"):
                b.key(key)
            # The last key is timed alone, once the frame of the text before it is on screen.
            self.wait_text(original.replace(lines[line - 1], lines[line - 1].replace(
                FIELD_OF_VIEW, FIELD_OF_VIEW.replace("55", "2"))))
            self.evaluate_async("studio.frame()", TYPED_TIMEOUT)
            b.evaluate("(window.bvLastKey = 0, document.addEventListener('keydown', function () {"
                       " window.bvLastKey = performance.now(); }, true), 0)")
            b.key("5")
            expected = original.replace(lines[line - 1], lines[line - 1].replace(
                FIELD_OF_VIEW, FIELD_OF_VIEW.replace("55", "25")))
            # The editor takes typed text from the page's input events, a moment after the keys.
            typed = self.wait_text(expected)
            self.assertTrue(typed == expected, "the typed text is not in the editor")
            shown = self.evaluate_async("studio.frame().then(function (f) { return [f.ok, performance.now() -"
                                        " window.bvLastKey, studio.time()]; })", TYPED_TIMEOUT)
            self.assertTrue(shown[0], b.evaluate("studio.problem()"))
            self.assertEqual(shown[2], TYPED_AT)
            timings = b.evaluate("studio.timings()")
            print("%s: the typed value's frame on screen %.3f s after the last key (its package %.3f s,"
                  " its load %.3f s)" % (self.ENGINE.__name__, shown[1] / 1000.0, timings["package"], timings["load"]))
            after = self.frame_pixels()
            self.assertGreater(frame_compare.plain_mean(before, after), CHANGED_MEAN)

        with self.subTest("the package is what bvtool build makes of the same text"):
            made = base64.b64decode(self.evaluate_async(
                "studio.package().then(function (p) { var s = ''; for (var i = 0; i < p.length; i++)"
                " s += String.fromCharCode(p[i]); return btoa(s); })", 120))
            folder = self.work.file("typed")
            shutil.copytree(SAMPLE_SOURCES, folder, dirs_exist_ok=True)
            write_bytes(os.path.join(folder, "demo.xml"), typed.encode())
            write_bytes(os.path.join(folder, "loading.xml"), b.evaluate("studio.text('loading.xml')").encode())
            r = run([BVTOOL, "build", folder, self.work.file("typed.dpk")])
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(made, read_bytes(self.work.file("typed.dpk")))

        with self.subTest("a mistake typed shows its diagnostic at its line, and the last frame stays"):
            column = lines[line - 1].index("@valley_cam_x") + len("@valley_cam_x") + 1
            at = self.place(line, column)
            b.mouse(True, at["x"], at["y"])
            b.mouse(False, at["x"], at["y"])
            b.key("x")
            mistaken = self.wait_text(typed.replace("@valley_cam_x", "@valley_cam_xx", 1))
            self.assertTrue("@valley_cam_xx" in mistaken, "the typed mistake is not in the editor")
            shown = self.evaluate_async("studio.frame()", TYPED_TIMEOUT)
            self.assertFalse(shown["ok"])
            self.assertIn("valley_cam_xx", shown["problem"])
            found = [d for d in b.evaluate("studio.diagnostics('demo.xml')") if "valley_cam_xx" in d["message"]]
            self.assertTrue(found, b.evaluate("studio.diagnostics('demo.xml')"))
            self.assertEqual(found[0]["range"]["start"]["line"], line - 1)
            # Beside the line: the editor marks the range and the gutter beside it.
            self.assertTrue(b.evaluate("document.querySelectorAll('.cm-lintRange-error, .cm-lintRange-warning')"
                                       ".length > 0"))
            # The same frame (a hover tooltip of the editor may stand over a corner of it).
            self.assertLessEqual(measure(after, self.frame_pixels())[0], SAME_LIMITS["mean"])

        with self.subTest("a seek shows the frame frame.html draws at that time"):
            b.evaluate("studio.setText('demo.xml', %s), 0" % json.dumps(original))
            self.evaluate_async("studio.frame().then(function () { studio.seek(%d); return studio.frame(); })"
                                % SEEK_TO, TYPED_TIMEOUT)
            self.assertEqual(b.evaluate("studio.problem()"), "")
            studio = self.frame_pixels()
            b.drain(0.2)
            console = [c for c in b.console if c[0] in ("error", "warning")]
            b.open(self.server.url + "frame.html?package=sample.dpk&time=%d&size=640x360" % SEEK_TO)
            deadline = time.monotonic() + 120
            while not (b.evaluate("document.title") or "").startswith("frame "):
                self.assertLess(time.monotonic(), deadline, "frame.html did not draw")
                time.sleep(0.1)
            self.assertEqual(b.evaluate("document.title"), "frame ready")
            reference = half_size(self.work, b.screenshot(0, 0, 640, 360))
            mean, p999 = measure(studio, reference)
            self.assertLessEqual(mean, SAME_LIMITS["mean"])
            self.assertLessEqual(p999, SAME_LIMITS["p999"])

        with self.subTest("the console stays clean"):
            self.assertEqual(console, [])


    def test_the_save_buttons_download_the_folder_and_the_package(self):
        """The page's own buttons, clicked: the folder as a zip (every file as it was opened, the
        documents as edited), the package, and the package with its music; Python's zipfile reads
        the zips back."""
        b = self.b
        downloads = b.downloads
        self.open_studio()
        self.assertEqual(b.evaluate("document.title"), "studio ready: sample")
        edited = b.evaluate("studio.text('demo.xml')").replace("<demo", "<!-- edited in the page -->\n<demo", 1)
        b.evaluate("studio.setText('demo.xml', %s), 0" % json.dumps(edited))
        self.assertEqual(self.evaluate_async("studio.frame().then(function (f) { return f.ok; })", 60), True)
        saved = {}
        for button, name in (("save-zip", "sample.zip"), ("save-package", "sample.dpk"),
                             ("save-bundle", "sample-package.zip")):
            at = b.evaluate("(function(){var r=document.getElementById('%s').getBoundingClientRect();"
                            "return [r.left + r.width / 2, r.top + r.height / 2]})()" % button)
            b.mouse(True, at[0], at[1])
            b.mouse(False, at[0], at[1])
            path = os.path.join(downloads, name)
            deadline = time.monotonic() + 120
            # Chromium writes a download under another name and renames it when it is whole; Firefox
            # also makes the name empty first, and writes beside it in NAME.part until it is done.
            while not os.path.exists(path) or os.path.exists(path + ".part") or os.path.getsize(path) == 0:
                self.assertLess(time.monotonic(), deadline, "%s was not downloaded (%s)"
                                % (name, b.evaluate("studio.problem()")))
                time.sleep(0.1)
            if name.endswith(".dpk"):
                saved[name] = read_bytes(path)
                continue
            with zipfile.ZipFile(path) as z:
                self.assertIsNone(z.testzip())
                saved[name] = {n: z.read(n) for n in z.namelist()}

        folder = saved["sample.zip"]
        sources = sorted(os.listdir(SAMPLE_SOURCES))
        self.assertEqual(sorted(n for n in folder if n != "sample/music.ogg"), ["sample/" + n for n in sources])
        for n in sources:
            expected = edited.encode() if n == "demo.xml" else read_bytes(os.path.join(SAMPLE_SOURCES, n))
            self.assertTrue(folder["sample/" + n] == expected, n + " in the zip is not the file opened")
        self.assertTrue(folder["sample/music.ogg"] == read_bytes(os.path.join(self.site, "music.ogg")))

        edited_folder = self.work.file("edited")
        shutil.copytree(SAMPLE_SOURCES, edited_folder)
        write_bytes(os.path.join(edited_folder, "demo.xml"), edited.encode())
        r = run([BVTOOL, "build", edited_folder, self.work.file("edited.dpk")])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(saved["sample.dpk"] == read_bytes(self.work.file("edited.dpk")),
                        "the package downloaded is not what bvtool build makes of the edited folder")
        bundle = saved["sample-package.zip"]
        self.assertEqual(sorted(bundle), ["sample/music.ogg", "sample/sample.dpk"])
        self.assertTrue(bundle["sample/sample.dpk"] == read_bytes(self.work.file("edited.dpk")),
                        "the package downloaded is not what bvtool build makes of the edited folder")
        self.assertTrue(bundle["sample/music.ogg"] == read_bytes(os.path.join(self.site, "music.ogg")))


    def test_the_timeline_and_the_keys_move_the_playhead_and_the_music_follows(self):
        """A press in the timeline seeks to the time its ruler shows there and a drag follows the
        pointer; Home goes to the start; Space plays, with the music scheduled on a running audio
        clock and the playhead moving with it, and Space again pauses it where it is."""
        b = self.b
        self.open_studio()
        self.assertEqual(b.evaluate("document.title"), "studio ready: sample")
        # The ruler's labels ("15 s") stand centred on their times: where the test presses. The
        # picture comes from the worker a moment after the page is ready.
        find = ("(function(){var out={};var box=document.getElementById('timeline').getBoundingClientRect();"
                "document.querySelectorAll('#timeline-picture text').forEach(function(t){"
                "var m=/^(\\d+) s$/.exec(t.textContent);if(m){var r=t.getBoundingClientRect();"
                "out[m[1]]=[r.left+r.width/2,box.top+box.height/2];}});return out;})()")
        deadline = time.monotonic() + 60
        while len(b.evaluate(find)) < 3:
            self.assertLess(time.monotonic(), deadline, "the timeline was not drawn")
            time.sleep(0.1)
        ruler = sorted((int(k) * 1000, v) for k, v in b.evaluate(find).items())
        (first_ms, first), (second_ms, second) = ruler[1], ruler[2]
        # Within a pixel's time of the label's: its centre is within half a pixel, a press lands on one.
        near = (second_ms - first_ms) / (second[0] - first[0])

        def settled_time():
            self.evaluate_async("studio.frame()", TYPED_TIMEOUT)
            return b.evaluate("studio.time()")

        b.mouse(True, *first)
        self.assertLessEqual(abs(settled_time() - first_ms), near)
        b.move(*second)
        self.assertLessEqual(abs(settled_time() - second_ms), near)
        b.mouse(False, *second)
        b.key("Home")
        self.assertEqual(settled_time(), 0)
        b.mouse(True, *first)
        b.mouse(False, *first)
        started = settled_time()

        b.key(" ")
        deadline = time.monotonic() + 60
        while b.evaluate("studio.time()") < started + 1500:
            self.assertLess(time.monotonic(), deadline, "the playhead did not move: %s"
                            % b.evaluate("studio.transport()"))
            time.sleep(0.05)
        playing = b.evaluate("studio.transport()")
        self.assertEqual((playing["playing"], playing["audio"], playing["sounding"]), (True, "running", True))
        deadline = time.monotonic() + 30
        while b.evaluate("studio.transport()")["heard"] <= playing["heard"]:
            self.assertLess(time.monotonic(), deadline, "the audio clock does not run")
            time.sleep(0.05)

        b.key(" ")
        stopped = b.evaluate("studio.transport()")
        self.assertEqual((stopped["playing"], stopped["sounding"]), (False, False))
        paused_at = settled_time()
        self.assertGreater(paused_at, started + 1500)
        # Ten animation frames later (each would move a playing playhead), it stands where it was.
        later = self.evaluate_async("new Promise(function (done) { var n = 0; (function next() {"
                                    " if (++n > 10) done(studio.time()); else requestAnimationFrame(next); })(); })",
                                    30)
        self.assertEqual(later, paused_at)


@unittest.skipUnless(os.path.exists(browser.CHROMIUM), "no Chromium")
class StudioChromium(StudioChecks, unittest.TestCase):
    ENGINE = staticmethod(chromium)

    def test_a_package_opens_into_its_documents(self):
        """studio.open of a package with its music: the documents as the package holds them
        (inflated, numbers for names), and the package made of them is the package opened."""
        b = self.b
        self.open_studio()
        made = base64.b64decode(self.evaluate_async(
            "Promise.all(['sample.dpk', 'music.ogg'].map(function (n) { return fetch(n).then(function (r) {"
            " return r.arrayBuffer(); }); })).then(function (b) { return studio.open({'sample.dpk': b[0],"
            " 'music.ogg': b[1]}); }).then(function () { return studio.package(); }).then(function (p) {"
            " var s = ''; for (var i = 0; i < p.length; i++) s += String.fromCharCode(p[i]); return btoa(s); })",
            OPEN_TIMEOUT))
        self.assertEqual(made, read_bytes(os.path.join(self.site, "sample.dpk")))
        r = run([BVTOOL, "extract", os.path.join(self.site, "sample.dpk"), self.work.file("extracted")])
        self.assertEqual(r.returncode, 0, r.stderr)
        r = run([BVTOOL, "decompress", self.work.file("extracted", "demo.xmlz"), self.work.file("demo.xml")])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(b.evaluate("studio.text('demo.xml')") == read_bytes(self.work.file("demo.xml")).decode(),
                        "the package's demo.xml is not the text in the editor")
        self.assertEqual(self.evaluate_async("studio.frame().then(function (f) { return f.ok; })", 60), True)

    def test_a_load_past_its_time_limit_is_stopped(self):
        """A load that takes longer than the page allows (here 1 ms: the sample's takes longer) is
        stopped with a message; the page goes on, with a fresh frame program."""
        b = self.b
        self.open_studio("?load=1")
        self.assertEqual(b.evaluate("document.title"), "studio ready: sample")
        self.assertIn("took more than 0.001 s to load: the load was stopped", b.evaluate("studio.problem()"))
        self.assertIn("the load passed its time limit", b.evaluate("document.getElementById('log').textContent"))
        shown = self.evaluate_async("studio.frame()", 60)
        self.assertFalse(shown["ok"])
        self.assertEqual(b.evaluate("document.querySelectorAll('#frame-holder canvas').length"), 1)
        self.assertEqual(b.evaluate("studio.text('loading.xml')"),
                         read_bytes(os.path.join(SAMPLE_SOURCES, "loading.xml")).decode())


    def test_slow_checks_past_their_time_limit_are_stopped(self):
        """Slow checks that take longer than the page allows (here 1 ms: the sample's take longer)
        are stopped with their worker, which is started again; the page goes on, and the next edit
        is checked and drawn."""
        b = self.b
        self.open_studio("?slow=1")
        self.assertEqual(b.evaluate("document.title"), "studio ready: sample")
        text = b.evaluate("studio.text('demo.xml')")
        b.evaluate("studio.setText('demo.xml', %s), 0" % json.dumps(text.replace("<demo", "<!-- a -->\n<demo", 1)))
        why = "the slow checks worker took more than 0.001 s over slow: it was stopped and started again"
        deadline = time.monotonic() + 60
        while why not in b.evaluate("document.getElementById('log').textContent"):
            self.assertLess(time.monotonic(), deadline, "the slow checks were not stopped")
            time.sleep(0.1)
        # The next edit, a mistake: the language worker names it and the frame keeps the last one.
        b.evaluate("studio.setText('demo.xml', %s), 0" % json.dumps(text.replace("@valley_cam_x", "@nowhere", 1)))
        shown = self.evaluate_async("studio.frame()", TYPED_TIMEOUT)
        self.assertFalse(shown["ok"])
        deadline = time.monotonic() + 60
        while not any("nowhere" in d["message"] for d in b.evaluate("studio.diagnostics('demo.xml')")):
            self.assertLess(time.monotonic(), deadline, "the edit after the stop was not checked")
            time.sleep(0.1)
        b.evaluate("studio.setText('demo.xml', %s), 0" % json.dumps(text))
        self.assertEqual(self.evaluate_async("studio.frame().then(function (f) { return f.ok; })", 60), True)


@unittest.skipUnless(firefox.available(), "no Firefox ESR or PulseAudio")
class StudioFirefox(StudioChecks, unittest.TestCase):
    ENGINE = firefox.Firefox


if __name__ == "__main__":
    unittest.main()
