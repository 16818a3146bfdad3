"""bvtool font with Debian's DejaVu Sans (fonts-dejavu-core): the glyph models and records it makes,
measured against fontTools (python3-fonttools, a reader without FreeType) through
tests/data/font_reference.py, and a word of its --demo rendered at 640 x 360."""

import json
import math
import os
import re
import shutil
import struct
import unicodedata
import unittest
import xml.etree.ElementTree as ET
import zlib

from harness import BVTOOL, DATA_DIR, WorkDir, bvtool, run, with_display
from scenes import pixel, rgb_pixels

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
# The glyph map in glyph order; glyph 86 is the space.
GLYPHS = "aAáÁbBcCdDeEéÉfFgGhHiIíÍjJkKlLmMnNoOóÓöÖőŐpPqQrRřŘsStTuUúÚüÜűŰvVwWxXyYzZ?!0123456789&/ "
ACCENTED = "áÁéÉíÍóÓöÖőŐřŘúÚüÜűŰ"
# Debian's python3-fonttools is installed for the system's Python.
FONTTOOLS_PYTHON = "/usr/bin/python3"
REFERENCE = os.path.join(DATA_DIR, "font_reference.py")
FLATNESS = 0.002  # cap heights, as bvtool font --help states


def reference(*args):
    r = run([FONTTOOLS_PYTHON, REFERENCE] + list(args))
    if r.returncode != 0:
        raise AssertionError("font_reference.py failed (is python3-fonttools installed?): " + r.stderr.decode())
    return r.stdout


def metrics(font, text=GLYPHS):
    return json.loads(reference("metrics", font, text))


def read_model(path):
    """(positions, normals, indices) of a packed model file, read with Python's own zlib."""
    with open(path, "rb") as f:
        packed = f.read()
    (length,) = struct.unpack_from("<I", packed)
    data = zlib.decompress(packed[4:])
    assert len(data) == length
    n, sets = struct.unpack_from("<HB", data)
    floats = struct.unpack_from("<%df" % (n * (6 + 2 * sets)), data, 4)
    positions = [floats[3 * i:3 * i + 3] for i in range(n)]
    normals_at = 3 * n + 2 * n * sets
    normals = [floats[normals_at + 3 * i:normals_at + 3 * i + 3] for i in range(n)]
    first_index = 4 + 4 * len(floats)
    indices = struct.unpack_from("<%dH" % ((len(data) - first_index) // 2), data, first_index)
    return positions, normals, indices


def solid(model):
    """(area seen from +z, enclosed volume, vertex normals against their triangle's turn)."""
    positions, normals, indices = model
    area = volume = 0
    against = 0
    for i in range(0, len(indices), 3):
        a, b, c = (positions[k] for k in indices[i:i + 3])
        u = [b[j] - a[j] for j in range(3)]
        v = [c[j] - a[j] for j in range(3)]
        n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
        area += n[2] / 2
        volume += sum(a[j] * n[j] for j in range(3)) / 6
        against += sum(1 for k in indices[i:i + 3] if sum(n[j] * normals[k][j] for j in range(3)) < -1e-9)
    return area, volume, against


def records(folder):
    """The model records ({name: file}) and the font's glyph records of font.xml."""
    root = ET.parse(os.path.join(folder, "font.xml")).getroot()
    models = {m.get("name"): m.get("filename") for m in root.find("models")}
    fonts = list(root.find("fonts"))
    return models, fonts


def make_font(font, out, *args):
    r = bvtool("font", font, out, *args)
    return r.returncode, r.stdout.decode(), r.stderr.decode()


class Glyphs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = WorkDir().__enter__()
        cls.out = cls.work.file("dejavu")
        cls.result = make_font(DEJAVU, cls.out)
        cls.reference = metrics(DEJAVU)

    @classmethod
    def tearDownClass(cls):
        cls.work.__exit__(None, None, None)

    def model_of(self, models, glyph):
        ref = glyph.get("model")
        if ref == "0":
            return None
        self.assertTrue(ref.startswith("@"), ref)
        return read_model(os.path.join(self.out, models[ref[1:]]))

    def test_every_glyph_of_the_map_that_the_font_has(self):
        status, _, errors = self.result
        self.assertEqual(status, 0, errors)
        cap = self.reference["cap_height"]
        models, fonts = records(self.out)
        self.assertEqual(len(fonts), 1)
        glyphs = list(fonts[0])
        self.assertEqual(len(glyphs), 87)
        lacking = [ch for ch in GLYPHS if not self.reference["chars"][ch]["present"]]
        self.assertEqual(errors, "" if not lacking else errors)
        for g, ch in enumerate(GLYPHS):
            with self.subTest(glyph=g, char=ch):
                ref = self.reference["chars"][ch]
                glyph = glyphs[g]
                self.assertEqual(glyph.get("material"), "1")
                model = self.model_of(models, glyph)
                if not ref["present"] or ch == " ":
                    self.assertIsNone(model)
                if not ref["present"]:
                    self.assertIn(ch, errors)
                    continue
                # Spacing: the pen advance and the left side bearing, in cap heights.
                self.assertAlmostEqual(float(glyph.get("width")), ref["advance"] / cap, places=5)
                if ch == " ":
                    continue
                self.assertAlmostEqual(float(glyph.get("offset")), -ref["lsb"] / cap, places=5)
                # The model covers the glyph's ink, measured from its left side bearing.
                positions = model[0]
                x0, y0, x1, y1 = ref["bounds"]
                box = (x0 - ref["lsb"]) / cap, y0 / cap, (x1 - ref["lsb"]) / cap, y1 / cap
                got = (min(p[0] for p in positions), min(p[1] for p in positions),
                       max(p[0] for p in positions), max(p[1] for p in positions))
                for want, have in zip(box, got):
                    self.assertAlmostEqual(have, want, delta=FLATNESS + 1e-4)
                self.assertTrue(all(p[2] == 0 for p in positions))
                self.assertTrue(all(n == (0, 0, 1) for n in model[1]))

    def test_accented_letters_come_out(self):
        models, fonts = records(self.out)
        glyphs = list(fonts[0])
        for ch in ACCENTED:
            with self.subTest(char=ch):
                accented = self.model_of(models, glyphs[GLYPHS.index(ch)])
                bare = self.model_of(models, glyphs[GLYPHS.index(unicodedata.normalize("NFD", ch)[0])])
                # The accent stands above the bare letter, as high as the font puts it.
                top = max(p[1] for p in accented[0])
                want = self.reference["chars"][ch]["bounds"][3] / self.reference["cap_height"]
                self.assertAlmostEqual(top, want, delta=FLATNESS + 1e-4)
                self.assertGreater(top, max(p[1] for p in bare[0]) + 0.04)


class Options(unittest.TestCase):
    def test_extruded_chosen_glyphs_with_a_named_material(self):
        with WorkDir() as work:
            status, _, errors = make_font(DEJAVU, work.path, "--chars", "Ő&g", "--depth", "0.3",
                                          "--material", "@gold")
            self.assertEqual(status, 0, errors)
            models, fonts = records(work.path)
            self.assertEqual(sorted(models), ["glyph_Ohungarumlaut", "glyph_ampersand", "glyph_g"])
            for glyph in fonts[0]:
                self.assertEqual(glyph.get("material"), "@gold")
                self.assertGreater(float(glyph.get("width")), 0)  # spacing comes with or without a model
            for name, file in models.items():
                positions, normals, indices = read_model(work.file(file))
                self.assertEqual({round(p[2], 6) for p in positions}, {0.15, -0.15}, name)
                self.assertTrue(all(abs(math.sqrt(sum(c * c for c in n)) - 1) < 1e-5 for n in normals), name)
                self.assertEqual(len(indices) % 3, 0)
                self.assertLess(max(indices), len(positions))

    def test_glyphs_the_font_lacks_are_listed_and_left_without_a_model(self):
        with WorkDir() as work:
            small = work.file("small.ttf")
            reference("subset", DEJAVU, small, "HelloÁ ")
            status, _, errors = make_font(small, work.file("out"))
            self.assertEqual(status, 0, errors)
            lines = errors.splitlines()
            self.assertEqual(len(lines), 1, errors)
            listed = lines[0].split(":")[-1].split()
            self.assertEqual(sorted(listed), sorted(ch for ch in GLYPHS if ch not in "HelloÁ "))
            self.assertNotIn("space", listed)
            models, fonts = records(work.file("out"))
            self.assertEqual(sorted(models), ["glyph_Aacute", "glyph_H", "glyph_e", "glyph_l", "glyph_o"])
            for g, glyph in enumerate(fonts[0]):
                if GLYPHS[g] not in "HelloÁ ":
                    self.assertEqual((glyph.get("model"), glyph.get("width")), ("0", "0"))

    def test_cff_outlines_make_the_glyphs_the_truetype_outlines_make(self):
        """fontTools rewrites DejaVu Sans's glyphs as CFF outlines: cubic curves, and contours that
        turn the other way round. Their models match the TrueType ones."""
        chars = "HŐg&o"
        with WorkDir() as work:
            cubic = work.file("cubic.otf")
            reference("cff", DEJAVU, cubic, chars)
            for depth in (0, 0.2):
                made = {}
                for kind, font in (("truetype", DEJAVU), ("cff", cubic)):
                    out = work.file("%s%g" % (kind, depth))
                    status, summary, errors = make_font(font, out, "--chars", chars, "--depth", str(depth))
                    self.assertEqual(status, 0, errors)
                    models, fonts = records(out)
                    made[kind] = {name: read_model(os.path.join(out, file)) for name, file in models.items()}
                    made[kind + " spacing"] = [(g.get("offset"), g.get("width"))
                                               for g in (list(fonts[0])[GLYPHS.index(ch)] for ch in chars)]
                self.assertIn("(CFF,", summary)
                self.assertEqual(sorted(made["cff"]), sorted(made["truetype"]))
                self.assertEqual(made["cff spacing"], made["truetype spacing"])
                for name, truetype in made["truetype"].items():
                    with self.subTest(depth=depth, glyph=name):
                        cff = made["cff"][name]
                        area, volume, against = solid(truetype)
                        cff_area, cff_volume, cff_against = solid(cff)
                        self.assertEqual((against, cff_against), (0, 0))
                        if depth == 0:
                            self.assertGreater(area, 0.05)
                            self.assertAlmostEqual(cff_area / area, 1, delta=0.002)
                        else:  # the walls face out: the solid's volume is the face's area times the depth
                            self.assertGreater(volume, 0)
                            self.assertAlmostEqual(cff_volume / volume, 1, delta=0.002)
                        for axis in range(3):
                            for pick in (min, max):
                                self.assertAlmostEqual(pick(p[axis] for p in cff[0]),
                                                       pick(p[axis] for p in truetype[0]), delta=2 * FLATNESS)

    def test_bad_fonts_and_arguments_get_one_line_and_status_2(self):
        with WorkDir() as work:
            with open(DEJAVU, "rb") as f:
                dejavu = f.read()
            files = {"empty.ttf": b"", "text.ttf": b"not a font at all\n" * 40, "cut.ttf": dejavu[:6000],
                     "noise.otf": bytes((i * 97 + 13) % 251 for i in range(20000))}
            for name, data in files.items():
                with open(work.file(name), "wb") as f:
                    f.write(data)
            reference("no-unicode", DEJAVU, work.file("no_unicode.ttf"))
            cases = [[work.file(n), work.file("o")] for n in list(files) + ["no_unicode.ttf", "missing.ttf"]]
            cases += [[DEJAVU, work.file("o")] + extra for extra in (
                ["--depth", "-1"], ["--depth", "deep"], ["--material", "0"], ["--material", "gold"],
                ["--material", "@"], ["--demo", ""], ["--demo", "árvíztűrő tükörfúrógép x"],
                ["--demo", "a, b"], ["--demo", "A & B"], ["--frobnicate"])]
            cases.append([DEJAVU])
            for args in cases:
                with self.subTest(args=args[1:] if args[0] == DEJAVU else os.path.basename(args[0])):
                    r = bvtool("font", *args)
                    self.assertEqual(r.returncode, 2, r.stderr)
                    lines = r.stderr.decode().splitlines()
                    self.assertEqual(len(lines), 1, lines)
                    self.assertTrue(lines[0].startswith("bvtool: font: "), lines)


class Demo(unittest.TestCase):
    """The word's ink in a frame of the demo spans the width fontTools gives for it, through the
    demo's own camera, within a pixel and a half."""

    WORD = "Árvíztűrő tükör"
    WIDTH, HEIGHT = 640, 360

    def expected_box(self, doc, depth):
        """(left, top, right, bottom) of the word's ink in pixels, from fontTools and the demo's camera."""
        ref = metrics(DEJAVU, self.WORD)
        cap = ref["cap_height"]
        chars = [ref["chars"][ch] for ch in self.WORD]
        pen, left, right, top, bottom = 0, None, None, None, None
        for c in chars:
            if c["bounds"]:
                x0, y0, x1, y1 = c["bounds"]
                left = pen + x0 if left is None else min(left, pen + x0)
                right = pen + x1 if right is None else max(right, pen + x1)
                bottom = y0 if bottom is None else min(bottom, y0)
                top = y1 if top is None else max(top, y1)
            pen += c["advance"]
        item = re.search(r'<item type="2"[^>]*>\s*<v type="static" value="([^"]+)"/><v type="static" value="([^"]+)"/>',
                         doc)
        layer = re.search(r'<layer [^>]*>((?:\s*<v [^>]*/>){9})', doc)
        cam = [float(v) for v in re.findall(r'value="([^"]+)"', layer.group(1))]
        x, y = float(item.group(1)), float(item.group(2))
        distance = cam[2] - depth / 2  # the front faces are nearest
        f = 1 / math.tan(math.radians(cam[6]) / 2)

        def px(wx):
            return self.WIDTH / 2 * (1 + wx / distance * f / cam[8])

        def py(wy):
            return self.HEIGHT / 2 * (1 - wy / distance * f)

        return px(x + left / cap), py(y + top / cap), px(x + right / cap), py(y + bottom / cap)

    def test_a_rendered_word_spans_the_width_the_font_gives(self):
        for depth in ("0", "0.3"):
            with self.subTest(depth=depth), WorkDir() as work:
                folder = work.file("demo")
                status, _, errors = make_font(DEJAVU, folder, "--demo", self.WORD, "--depth", depth)
                self.assertEqual(status, 0, errors)
                check = run(with_display([BVTOOL, "check", folder]))
                self.assertEqual(check.returncode, 0, check.stdout.decode() + check.stderr.decode())
                r = bvtool("build", folder, work.file("t.dpk"))
                self.assertEqual(r.returncode, 0, r.stderr)
                frame = work.file("frame.png")
                r = run(with_display([BVTOOL, "render", work.file("t.dpk"), "--time", "1000", "--size",
                                      "%dx%d" % (self.WIDTH, self.HEIGHT), "--out", frame]))
                self.assertEqual(r.returncode, 0, r.stderr)
                image = rgb_pixels(frame)
                background = pixel(image, 0, 0)
                ink = [(x, y) for y in range(self.HEIGHT) for x in range(self.WIDTH)
                       if max(abs(a - b) for a, b in zip(pixel(image, x, y), background)) > 40]
                self.assertTrue(ink, "nothing drawn")
                with open(os.path.join(folder, "demo.xml"), encoding="utf-8") as f:
                    left, top, right, bottom = self.expected_box(f.read(), float(depth))
                got = (min(p[0] for p in ink), min(p[1] for p in ink), max(p[0] for p in ink) + 1,
                       max(p[1] for p in ink) + 1)
                for edge, want, have in zip(("left", "top", "right", "bottom"), (left, top, right, bottom), got):
                    if abs(have - want) > 1.5:
                        shutil.copy(frame, os.path.join(os.environ.get("TMPDIR", "/tmp"), "font_demo_actual.png"))
                    self.assertLess(abs(have - want), 1.5, "%s edge at %d, the font gives %.2f" % (edge, have, want))


if __name__ == "__main__":
    unittest.main()
