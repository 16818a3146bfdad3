"""The player page against the native player, on this machine and in one run: the time from the
Start release to the first demo frame (the "Audio buffer size" line, logged just before it), the
benchmark line's frames per second, the longest task the page ran while loading, how often its
sound device starved, and what a viewer downloads (gzip, without and with the package and music). Both play the sample demo at 1280x720,
windowed, music on; the native player under Xvfb with Mesa, the page in headless Chromium with
SwiftShader: two different GL rasterisers, so the fps ratio is the whole player's, not the wasm's.

    python3 bench/web_player.py          # after scripts/build.sh and scripts/build-web.sh
"""

import gzip
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import browser  # noqa: E402
from harness import BUILD_DIR, Launcher, PlayerRun, WorkDir, wait_until  # noqa: E402

WEB_SITE = os.path.join(HERE, "..", "build-web", "sample")
SAMPLE = os.path.join(BUILD_DIR, "sample")
CHOICES = (Launcher.resolution(7), Launcher.FULLSCREEN)  # 1280x720, windowed
FIRST_FRAME_LINE = "Audio buffer size:8192"
LONG_TASKS = ("window.bvLongTasks = []; new PerformanceObserver(function (list) { list.getEntries().forEach("
              "function (e) { bvLongTasks.push([e.startTime, e.duration]); }); }).observe({entryTypes: ['longtask']});")


def fps(lines):
    for line in lines:
        m = re.match(r"Benchmark result: (\d+\.\d\d) fps", line)
        if m:
            return float(m.group(1))
    return None


def native():
    with WorkDir() as work:
        for name in ("sample.dpk", "music.ogg"):
            os.symlink(os.path.join(SAMPLE, name), work.file(name))
        env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/dev/null", "SDL_DISKAUDIODELAY": "186"}
        log = work.file("demo.log")
        with PlayerRun(work.path, env=env, timeout=300) as run:
            window = run.wait_launcher()
            for point in CHOICES:
                run.choose(window, point)
            run.start(window)
            released = time.monotonic()
            wait_until(lambda: os.path.exists(log) and FIRST_FRAME_LINE.encode() in open(log, "rb").read(), 120)
            first = time.monotonic() - released
            run.finish()
        lines = open(log, "rb").read().decode().replace("\r\n", "\n").split("\n")
        return first, fps(lines)


def web():
    with browser.StaticServer(WEB_SITE) as server, \
            browser.Browser(extra_args=["--autoplay-policy=no-user-gesture-required"]) as b:
        b.call("Page.addScriptToEvaluateOnNewDocument", source=LONG_TASKS)
        b.open(server.url + "index.html")
        wait_until(lambda: b.evaluate("window.bvPage && bvPage.phaseName") == "launcher", 60)
        box = b.evaluate("(function(){var r=document.getElementById('launcher').getBoundingClientRect();"
                         "return [r.left, r.top]})()")
        for point in CHOICES + (Launcher.START,):
            for kind in ("mousePressed", "mouseReleased"):
                b.call("Input.dispatchMouseEvent", type=kind, x=box[0] + point[0], y=box[1] + point[1],
                       button="left", clickCount=1)
        wait_until(lambda: b.evaluate("bvPage.phaseName") == "ended", 300)
        lines = b.evaluate("bvPage.lines")
        times = b.evaluate("bvPage.lineTimes")
        started = b.evaluate("bvPage.startedAt")
        first = (times[lines.index(FIRST_FRAME_LINE)] - started) / 1000
        playing = b.evaluate("bvPage.playingAt")
        tasks = b.evaluate("bvLongTasks.filter(function (t) { return t[0] >= %f && t[0] < %f; })"
                           ".map(function (t) { return t[1]; })" % (started, playing))
        b.drain(0.2)
        starved = sum(1 for _, text in b.console if "starved" in text)
        return first, fps(lines), max(tasks or [0]), starved


def gzip_size(path):
    with open(path, "rb") as f:
        return len(gzip.compress(f.read(), 9))


def main():
    page = ["index.html", "index.js", "index.wasm", "manifest.json"]
    page_bytes = sum(gzip_size(os.path.join(WEB_SITE, n)) for n in page)
    content_bytes = sum(gzip_size(os.path.join(WEB_SITE, n)) for n in ("sample.dpk", "music.ogg"))
    native_first, native_fps = native()
    web_first, web_fps, longest, starved = web()
    print("Start to first frame: native %.2f s, page %.2f s (%.2fx)" % (native_first, web_first, web_first / native_first))
    print("Benchmark: native %.2f fps, page %.2f fps (page/native %.2f)" % (native_fps, web_fps, web_fps / native_fps))
    print("Longest task while loading: %.0f ms; the page's sound device starved %d times" % (longest, starved))
    print("Download (gzip -9): page %d bytes, with the package and music %d bytes" % (page_bytes, page_bytes + content_bytes))


if __name__ == "__main__":
    main()
