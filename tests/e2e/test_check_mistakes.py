"""bvtool check against the mistakes a new author made in a real demo: each one, made in a copy of the
sample demo, is named at its line with exit status 1, and few other lines are flagged."""

import os
import re
import shutil
import unittest

from harness import BUILD_DIR, BVTOOL, WorkDir, run

SAMPLE = os.path.join(BUILD_DIR, "sample")


def line_of(lines, pattern):
    """1-based number of the first line that matches."""
    return next(i + 1 for i, line in enumerate(lines) if re.search(pattern, line))


def replace_on(lines, pattern, old, new, count=1):
    n = line_of(lines, pattern)
    assert old in lines[n - 1], (pattern, old)
    lines[n - 1] = lines[n - 1].replace(old, new, count)
    return n


def drop_values(lines, pattern, tag, keep):
    """Keeps the first `keep` children <tag .../> or <tag>..</tag> of the first element on the line."""
    n = line_of(lines, pattern)
    items = list(re.finditer(r"<%s[ >].*?(?:/>|</%s>)" % (tag, tag), lines[n - 1]))
    start, end = items[keep].start(), items[-1].end()
    lines[n - 1] = lines[n - 1][:start] + lines[n - 1][end:]
    return n


def scale_timeline(lines, factor):
    """Every layer's length and gap multiplied (lengths written in another unit); the line of the layer
    that ends last, which sets the timeline's end."""
    last, end, slot_end = 0, -1, 0
    for i, line in enumerate(lines):
        if "<slot>" in line:
            slot_end = 0
        if "<layer id=" in line:
            lines[i] = re.sub(r'(length|space_before)="(\d+)"',
                              lambda m: '%s="%d"' % (m.group(1), round(int(m.group(2)) * factor)), line)
            slot_end += sum(int(v) for v in re.findall(r'(?:length|space_before)="(\d+)"', lines[i]))
            if slot_end >= end:
                last, end = i + 1, slot_end
    return last


ITEM = r'<item type="0" object="@sky0" material="@sky_box_face_0">'
MISTAKES = [
    # name, mutation (returns the line the finding must stand on), words of the finding
    ("item with eight placement values",
     lambda l: replace_on(l, ITEM, '<v type="static" value="60"/><visibility', "<visibility"), "is read as scale z"),
    ("camera without its aspect",
     lambda l: replace_on(l, r'<layer id="@dawn" space_before="0" length="813"', '<v type="static" value="1.7777778"/></layer>',
                          "</layer>"), "aspect is missing"),
    ("light with eight values", lambda l: drop_values(l, r'<light name="sun"><v', "v", 8), "position z is missing"),
    ("Bricks with its two colours only", lambda l: drop_values(l, r'<layer name="bricks" type="4">', "p", 6), "Horizontal number, "),
    ("Plasma with its colour only", lambda l: drop_values(l, r'<layer name="sine_plasma" type="1">', "p", 3), "Repeat x and Repeat y are missing"),
    ("Sinus with two of its four values", lambda l: drop_values(l, r'<s type="3" length="100000"><p>6</p>', "p", 2),
     "c and d are missing"),
    ("one camera value too many",
     lambda l: replace_on(l, r'<layer id="@dawn" space_before="0" length="813"', '<v type="static" value="1.7777778"/></layer>',
                          '<v type="static" value="1.7777778"/><v type="static" value="1"/></layer>'), "is not read"),
    ("timeline in seconds", lambda l: scale_timeline(l, 0.01), "look like seconds"),
    ("timeline in milliseconds", lambda l: scale_timeline(l, 10), "look like milliseconds"),
    ("Catmull-Rom with an odd count", lambda l: drop_values(l, r"<p>0</p><p>1.3</p><p>800</p><p>2.2</p>", "p", 3),
     "has x 800 and no y"),
    ("knots going backwards", lambda l: replace_on(l, r"<p>-0.6</p><p>250</p>", "<p>250</p>", "<p>900</p>"),
     "knot 3 \\(x 800\\) does not lie at least one unit after knot 2"),
    ("output link removed", lambda l: (replace_on(l, r'name="grass" type="101"', "<output>@grass_noise</output>", ""),
                                       line_of(l, r'name="grass_noise"'))[1], "does not list 3 among its outputs"),
    ("unclosed item", lambda l: replace_on(l, ITEM, "</item>", ""), "<item> is never closed"),
    ("cut off inside the timeline", lambda l: (l.__delitem__(slice(line_of(l, r"<slot>") + 3, None)), len(l))[1],
     "still open: it is cut short"),
    ("</material> closing <materials>", lambda l: replace_on(l, r"^  </materials>", "</materials>", "</material>"),
     "</material> does not close <materials>"),
    ("a decimal comma", lambda l: replace_on(l, r'<light name="sun"><v', 'value="0.3"', 'value="0,3"'), '"0,3" is not a number'),
    ("a word for a number", lambda l: replace_on(l, ITEM, '<v type="static" value="60"/>', '<v type="static" value="up"/>'),
     '"up" is not a number: it is read as 0'),
]


class Mistakes(unittest.TestCase):
    def test_each_mistake_is_named_at_its_line(self):
        with open(os.path.join(SAMPLE, "src", "demo.xml"), encoding="utf-8") as f:
            original = f.read().split("\n")
        with WorkDir() as work:
            # The folder stands beside the music, as build/sample/src does.
            shutil.copy(os.path.join(SAMPLE, "music.ogg"), work.file("music.ogg"))
            for name, mutate, words in MISTAKES:
                with self.subTest(name):
                    folder = work.file(name.replace(" ", "_").replace("/", "").replace("<", "").replace(">", ""))
                    shutil.copytree(os.path.join(SAMPLE, "src"), folder)
                    lines = list(original)
                    line = mutate(lines)
                    with open(os.path.join(folder, "demo.xml"), "w", encoding="utf-8") as f:
                        f.write("\n".join(lines))
                    r = run([BVTOOL, "check", folder, "--no-glsl"])
                    found = r.stdout.decode().splitlines()
                    self.assertEqual(r.returncode, 1, found)
                    at_line = [f for f in found if f.startswith("demo.xml:%d: " % line)]
                    self.assertTrue(any(re.search(words, f) for f in at_line), (line, found))
                    self.assertLessEqual(len(found), 4, found)
                    shutil.rmtree(folder)

    def test_the_clean_sample_prints_its_summary(self):
        r = run([BVTOOL, "check", os.path.join(SAMPLE, "src"), "--no-glsl"])
        self.assertEqual(r.returncode, 0, r.stdout.decode())
        self.assertRegex(r.stdout.decode(), r"demo\.xml \(\d+ records\) and loading\.xml \(\d+ records\): no findings")


if __name__ == "__main__":
    unittest.main()
