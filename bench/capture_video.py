"""bvtool capture against real time: the sample demo captured at 60 frames a second into PNG frames
(with the WAV), into an MP4 file and into a WebM file, each timed on this machine in one run. The
ratio is demo time captured per second of wall time, from the capture's own count of frames a
second (the frame loop and the finishing of the file; the demo's load, a second or so, is shown
apart as the whole command's ratio).

Floor: 1.0, real time. An MP4 capture at 640 x 360 must stay above it on the 2-core machine (the
rendering and the encoding overlap: the encoder runs on threads of its own). Beside it, the
rendering alone ("bvtool bench": the median frame drawn and waited for), which no capture can pass.

    python3 bench/capture_video.py                       # 640x360, after scripts/build.sh
    python3 bench/capture_video.py --sizes 640x360,1280x720,1920x1080 [--to MS]

Measured on the 2-core development machine, quiet (load average about 2), over the first 20 s of
the sample: at 640 x 360, MP4 1.71 x real time, WebM 1.83 x, PNG 1.45 x (the rendering alone 2.94 x);
at 1280 x 720, MP4 0.66 x, WebM 0.66 x, PNG 0.50 x (rendering 1.28 x); at 1920 x 1080, MP4 0.31 x,
WebM 0.33 x, PNG 0.24 x (rendering 0.79 x). With other builds keeping the load between 6 and 13,
the MP4 at 640 x 360 fell to 0.68 to 0.90 x.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD_DIR = os.path.abspath(os.environ.get("BV_BUILD_DIR") or os.path.join(HERE, "..", "build"))
BVTOOL = os.path.join(BUILD_DIR, "bvtool")
SAMPLE = os.path.join(BUILD_DIR, "sample", "sample.dpk")
FPS = 60
FLOOR = 1.0  # times real time, for MP4 at 640 x 360


def display(args):
    return args if os.environ.get("DISPLAY") else ["xvfb-run", "-a", "-s", "-noreset -screen 0 1280x1024x24"] + args


def capture(out, size, to):
    args = [BVTOOL, "capture", SAMPLE, out, "--size", size, "--fps", str(FPS)] + (["--to", str(to)] if to else [])
    start = time.monotonic()
    r = subprocess.run(display(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    wall = time.monotonic() - start
    if r.returncode != 0:
        sys.exit("capture to %s failed: %s" % (out, r.stderr.decode()))
    # "120 frames (126.8 frames a second), ..." (video) or "120 frames from 0.00 s (0) to 2.00 s (200) in
    # 0.9 s (131.1 frames a second)" (frames in a folder).
    m = re.search(rb"^(\d+) frames (?:from .*? in [\d.]+ s )?\(([\d.]+) frames a second\)", r.stdout, re.M)
    frames, rate = int(m.group(1)), float(m.group(2))
    return frames, rate, wall


def size_of(path):
    if os.path.isdir(path):
        return sum(os.path.getsize(os.path.join(path, n)) for n in os.listdir(path))
    return os.path.getsize(path)


def render_alone(size):
    r = subprocess.run(display([BVTOOL, "bench", SAMPLE, "--size", size, "--frames", "120"]), stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    m = re.search(rb"frame time \(ms\) +min [\d.]+ +median ([\d.]+)", r.stdout)
    return 1000.0 / float(m.group(1)) if m else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", default="640x360")
    parser.add_argument("--to", type=int, default=0, help="end of the span in ms (default: the whole demo)")
    parser.add_argument("--kinds", default="png,mp4,webm")
    options = parser.parse_args()
    work = tempfile.mkdtemp(prefix="bvbench-")
    try:
        print("bvtool capture of the sample demo at %d frames a second; ratio = demo time / wall time" % FPS)
        for size in options.sizes.split(","):
            alone = render_alone(size)
            if alone:
                print("%-10s render alone   %6.1f frames a second  %5.2f x real time" % (size, alone, alone / FPS))
            for kind in options.kinds.split(","):
                out = os.path.join(work, "frames" if kind == "png" else "capture." + kind)
                frames, rate, wall = capture(out, size, options.to)
                ratio = rate / FPS
                note = ""
                if kind == "mp4" and size == "640x360":
                    note = "  floor %.1f: %s" % (FLOOR, "above" if ratio > FLOOR else "BELOW")
                print("%-10s %-5s %5d frames %6.1f frames a second  %5.2f x real time (%5.2f x with the load)  "
                      "%6.1f MB%s" % (size, kind, frames, rate, ratio, frames / FPS / wall, size_of(out) / 1e6, note))
                shutil.rmtree(out, ignore_errors=True) if os.path.isdir(out) else os.remove(out)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
