#!/usr/bin/env python3
"""Draws the pictures of the timeline and the curves that the README and docs/format.md show, with
the build's bvtool: the sample demo's (its document from build/sample/src, and its music) and the second
worked example's. The example's font record comes from `bvtool font`; here a stand-in font (every
glyph the example's square) takes its place, which changes neither the timeline nor the curves.

    scripts/doc_pictures.py [BUILD_DIR]     (build/ unless given; run after building the sample)
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCS = os.path.join(ROOT, "docs")
EXAMPLE = "## Worked example: words on the beat"
GLYPHS = 87


def example_folder(build, folder):
    """The second worked example as a demo folder: its document with a stand-in font, the first
    example's square, the sample's 120 BPM music."""
    with open(os.path.join(DOCS, "format.md"), encoding="utf-8") as f:
        text = f.read()
    obj = re.search(r"```obj\n(.*?)```", text, re.S).group(1)
    xml = re.search(r"```xml\n(.*?)```", text[text.index(EXAMPLE):], re.S).group(1)
    glyphs = "".join('      <glyph model="@square" material="@ink" bitmap="0" offset="0" width="0.6"/>\n'
                     for _ in range(GLYPHS))
    xml = re.sub(r"    <!-- 1: the font record[^\n]*-->\n", '    <font name="dejavu">\n' + glyphs + "    </font>\n", xml)
    os.makedirs(folder)
    with open(os.path.join(folder, "demo.xml"), "w", encoding="utf-8") as f:
        f.write(xml)
    square = os.path.join(os.path.dirname(folder), "square.obj")
    with open(square, "w") as f:
        f.write(obj)
    bvtool = os.path.join(build, "bvtool")
    subprocess.run([bvtool, "model", square, os.path.join(folder, "square.mdl")], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copy(os.path.join(build, "sample", "music.ogg"), folder)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    bvtool = os.path.join(build, "bvtool")
    work = tempfile.mkdtemp(prefix="bvpictures-")
    # The sample's document and its music, in a folder that the pictures' titles call "sample".
    sample = os.path.join(work, "sample")
    os.makedirs(sample)
    shutil.copy(os.path.join(build, "sample", "src", "demo.xml"), sample)
    shutil.copy(os.path.join(build, "sample", "music.ogg"), sample)
    runs = [
        ["timeline", sample, os.path.join(DOCS, "sample_timeline.png"), "--bpm", "120"],
        ["plot", sample, os.path.join(DOCS, "sample_plot.png"), "--function", "@title_rise", "--function",
         "@beat_amplitude", "--function", "@fade_out", "--bpm", "120", "--size", "1200x660"],
    ]
    try:
        folder = os.path.join(work, "mydemo")
        example_folder(build, folder)
        runs += [
            ["timeline", folder, os.path.join(DOCS, "example_timeline.png"), "--bpm", "120"],
            ["plot", folder, os.path.join(DOCS, "example_pulse.png"), "--function", "@pulse", "--from", "0s",
             "--to", "3s", "--bpm", "120", "--size", "1200x280"],
        ]
        for args in runs:
            subprocess.run([bvtool] + args, check=True)
            print(args[2])
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
