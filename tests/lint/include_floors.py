"""Fails when a source under src/engine includes a folder on a higher floor than its own. The one
allowed exception is render's include of the scene aggregate, and it must say why on its line."""

import os
import re
import sys

FLOORS = {"maths": 0, "resources": 1, "functions": 2, "textures": 2, "music": 2, "geometry": 3, "render": 4,
          "scene": 5}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"(.*)$')


def upward_includes(engine_dir):
    found = []
    for folder in sorted(os.listdir(engine_dir)):
        path = os.path.join(engine_dir, folder)
        if not os.path.isdir(path):
            continue
        if folder not in FLOORS:
            found.append("%s: a folder with no floor" % folder)
            continue
        for name in sorted(os.listdir(path)):
            with open(os.path.join(path, name), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m or m.group(1) not in FLOORS or FLOORS[m.group(1)] <= FLOORS[folder]:
                        continue
                    if folder == "render" and line.split('"')[1] == "scene/scene.h" and "upward on purpose" in line:
                        continue
                    found.append("%s/%s:%d: %s" % (folder, name, number, line.strip()))
    return found


if __name__ == "__main__":
    problems = upward_includes(sys.argv[1])
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)
