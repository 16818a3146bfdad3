"""Reproducers of faults found in code that other changes own, kept out of CI until those land:

    open_findings.py OUTPUT_FOLDER

music_fifo/   a music element naming a FIFO (made by mkfifo): the player blocks for ever in fopen
              (src/player/music_device.cpp, music_setup), before its first frame. A document can
              name any path, /dev/stdin included; opening only regular files inside the working
              folder would end it.
early_exit/   a document with three sections: the player logs its error and ends with status 1,
              but returns from player_main (src/player/player.cpp) without freeing its two scenes,
              which LeakSanitizer reports at exit (scene_create, player.cpp:49 and :50). Every
              start-up failure after the scenes are made does the same.

Play either with the player in the folder (under xvfb-run, music on for the first)."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_malformed  # noqa: E402


def main(out):
    fifo = os.path.join(out, "music_fifo")
    os.makedirs(fifo, exist_ok=True)
    document = make_malformed.short_demo().replace("<music/>", '<music file="music.ogg" offset="0"/>')
    with open(os.path.join(fifo, "t.dpk"), "wb") as f:
        f.write(make_malformed.demo_package(document))
    if not os.path.exists(os.path.join(fifo, "music.ogg")):
        os.mkfifo(os.path.join(fifo, "music.ogg"))
    early = os.path.join(out, "early_exit")
    os.makedirs(early, exist_ok=True)
    with open(os.path.join(early, "t.dpk"), "wb") as f:
        f.write(make_malformed.package([("demo.xmlz", make_malformed.pack(make_malformed.empty_sections(3)))]))


if __name__ == "__main__":
    main(sys.argv[1])
