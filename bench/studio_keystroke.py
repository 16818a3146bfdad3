"""The studio's keystroke-to-frame time on the sample, in headless Chromium and headless Firefox ESR:
the field of view of the valley's camera typed again and again (one digit at a time, each key once
the frame of the text before it is on screen), the time from the key to the frame of the new text
on screen, with the worker's package and the frame's load of each. The target is TARGET seconds
from the last keystroke; the medians are printed against it.

    python3 bench/studio_keystroke.py [ROUNDS]     # after scripts/build.sh and scripts/build-web.sh

Measured here (2 cores, shared; 10 rounds, load average 1.5): Chromium median 0.154 s (0.121 to
0.423), Firefox ESR median 0.152 s (0.141 to 0.228); the package 0.03 s and 0.01 s, the frame's load
0.09 s and 0.10 s. With the machine busier (load average 3 to 5) the medians rose to 0.24 to 0.30 s.
"""

import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import browser  # noqa: E402
import firefox  # noqa: E402
from harness import BUILD_DIR, BVTOOL, WorkDir, run, wait_until  # noqa: E402

WEB_BUILD = os.path.join(HERE, "..", "build-web")
SAMPLE_SOURCES = os.path.join(BUILD_DIR, "sample", "src")
TARGET = 0.2  # s
VALLEY_LINE = '<layer id="@valley"'
FIELD_OF_VIEW = '<v type="static" value="55"/>'


def promise(b, expression, timeout=120):
    b.evaluate("(window.bvBench = null, Promise.resolve(%s).then(function (v) { window.bvBench = {v: v}; }), 0)"
               % expression)
    wait_until(lambda: b.evaluate("window.bvBench"), timeout)
    return b.evaluate("window.bvBench.v")


def measure(engine, site, rounds):
    with browser.StaticServer(site) as server, engine() as b:
        b.open(server.url + "studio.html")
        wait_until(lambda: (b.evaluate("document.title") or "").startswith("studio ready"), 300)
        text = b.evaluate("studio.text('demo.xml')").split("\n")
        line = next(i for i, t in enumerate(text) if VALLEY_LINE in t) + 1
        column = text[line - 1].index(FIELD_OF_VIEW) + len('<v type="static" value="55') + 1
        promise(b, "(studio.seek(12000), studio.frame())")
        at = promise(b, "studio.place('demo.xml', %d, %d)" % (line, column))
        b.mouse(True, at["x"], at["y"])
        b.mouse(False, at["x"], at["y"])
        b.evaluate("(window.bvKey = 0, document.addEventListener('keydown', function () {"
                   " window.bvKey = performance.now(); }, true), 0)")
        times, packages, loads = [], [], []
        for i in range(rounds):
            b.key("Backspace")  # 55 -> 5, then 5 again typed: the text changes at every key
            promise(b, "studio.frame()")
            b.key("5")
            shown = promise(b, "studio.frame().then(function () { return performance.now() - window.bvKey; })")
            t = b.evaluate("studio.timings()")
            times.append(shown / 1000.0)
            packages.append(t["package"])
            loads.append(t["load"])
        return times, packages, loads


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    with WorkDir() as work:
        site = work.file("site")
        r = run([BVTOOL, "web", SAMPLE_SOURCES, site, "--pages", WEB_BUILD, "--name", "sample"])
        if r.returncode != 0:
            sys.exit(r.stderr.decode())
        engines = [("Chromium", lambda: browser.Browser(width=1400, height=900))]
        if firefox.available():
            engines.append(("Firefox ESR", lambda: firefox.Firefox(width=1400, height=900)))
        for name, engine in engines:
            times, packages, loads = measure(engine, site, rounds)
            print("%s: keystroke to frame median %.3f s (min %.3f, max %.3f; target %.1f s: %s); the package"
                  " %.3f s, the load %.3f s (medians of %d)"
                  % (name, statistics.median(times), min(times), max(times), TARGET,
                     "met" if statistics.median(times) <= TARGET else "not met", statistics.median(packages),
                     statistics.median(loads), rounds))


if __name__ == "__main__":
    main()
