"""bvtool mesh: the geometry of a frame against an independent reference, and frames rendered in
both paths landing where that geometry says."""

import math
import sys
import unittest

from harness import BVTOOL, DATA_DIR, WorkDir, make_package, pack_text, run, with_display
from scenes import (bvassets, document, font, function_constant, function_linear, item, layer, light,
                    manipulator, material, mesh_effect, obj, rgb_pixels, slots)

sys.path.insert(0, DATA_DIR)
import mesh_reference as ref  # noqa: E402

PATHS = [("glsl", []), ("combiners", ["--combiners"])]
QUAD = bvassets.quad(0, 0, 1, 1)  # off-centre: its centre is (0.5, 0.5, 0)
CUBE = bvassets.cube(0.5)
ENTRIES = [("quad.mdl", bvassets.pack(QUAD)), ("cube.mdl", bvassets.pack(CUBE))]
MODELS = '<model filename="quad.mdl"/><model filename="cube.mdl"/>'
QUAD_REF, CUBE_REF = ref.model_from_file(QUAD), ref.model_from_file(CUBE)
# Functions: 1..6 constants for the effects, 7 the lake's time (t / 100).
FUNCTIONS = [5.3, 0.3, 2.0, 7.9, 1.5, 0.8]
EFFECTS = mesh_effect(1, 1) + mesh_effect(2, 2, 3) + mesh_effect(3, 4, 5, 6) + mesh_effect(0, 7)


def functions_xml():
    return "".join(function_constant(v) for v in FUNCTIONS) + function_linear(0.01, 0)


def mesh_obj(work, doc, times, flags=()):
    """Packs the document and returns the OBJ text bvtool mesh writes for the last time."""
    make_package(work.path, "t.dpk", [("demo.xmlz", pack_text(doc))] + ENTRIES)
    out = work.file("frame.obj")
    args = [BVTOOL, "mesh", work.file("t.dpk"), "--size", "320x180", "--out", out] + list(flags)
    for t in times:
        args += ["--time", str(t)]
    r = run(with_display(args))
    if r.returncode != 0:
        raise AssertionError("bvtool mesh failed: " + r.stderr.decode())
    with open(out) as f:
        return f.read()


def parse_obj(text):
    """Groups of an OBJ file: (name, instance, v, vn, vt, triangles with group-local numbers)."""
    v, vn, vt, out = [], [], [], []
    for line in text.splitlines():
        parts = line.split()
        if not parts:
            continue
        if parts[0] == "o":
            out.append({"name": parts[1], "v0": len(v), "vn0": len(vn), "vt0": len(vt), "f": []})
        elif parts[:2] == ["#", "instance"]:
            out[-1]["instance"] = [float(x) for x in parts[2:]]
        elif parts[0] in ("v", "vn", "vt"):
            {"v": v, "vn": vn, "vt": vt}[parts[0]].append([float(x) for x in parts[1:]])
        elif parts[0] == "f":
            out[-1]["f"].append([[int(i) if i else None for i in corner.split("/")] for corner in parts[1:]])
    groups = []
    for i, g in enumerate(out):
        end = out[i + 1] if i + 1 < len(out) else {"v0": len(v), "vn0": len(vn), "vt0": len(vt)}
        triangles = []
        for corners in g["f"]:
            local = [c[0] - 1 - g["v0"] for c in corners]
            for c, n in zip(corners, local):  # the three numbers of a corner name one vertex
                assert c[2] - 1 - g["vn0"] == n and (c[1] is None or c[1] - 1 - g["vt0"] == n), corners
            triangles.append(tuple(local))
        groups.append((g["name"], g["instance"], v[g["v0"]:end["v0"]], vn[g["vn0"]:end["vn0"]],
                       vt[g["vt0"]:end["vt0"]] or None, triangles))
    return groups


class CloseValues:
    def assert_close(self, actual, expected, what, tolerance=2e-4):
        self.assertEqual(len(actual), len(expected), what)
        for i, (a, e) in enumerate(zip(actual, expected)):
            for x, y in zip(a, e):
                if not abs(x - y) <= tolerance * (1 + abs(y)):
                    self.fail("%s[%d]: %r, expected %r" % (what, i, a, e))


class MeshCapture(CloseValues, unittest.TestCase):
    def test_frame_geometry_matches_the_reference(self):
        xyz = [2, 1, 2, 0.5, 0, 0.25, 5, 0, 0, 0.1, 0, 0]
        items = [
            (item(1, 1, pos=(1, 2, 3), rot=(10, 20, 30), scale=(1, 2, 1),
                  manipulators=[manipulator(0, xyz), manipulator(4, [2])]),
             {"mesh": QUAD_REF, "placement": [1, 2, 3, 10, 20, 30, 1, 2, 1],
              "manipulators": [(0, xyz, None), (4, [2], None)]}),
            (item(1, 1, kind=1, pos=(-15, 0, -15), rot=(0, 45, 0), scale=(0.1, 0.1, 0.1)),
             {"mesh": ("centerwave", 5.3), "placement": [-15, 0, -15, 0, 45, 0, 0.1, 0.1, 0.1]}),
            (item(2, 1, kind=1, scale=(0.01, 0.01, 0.01)),
             {"mesh": ("swirl", 0.3, 2.0), "placement": [0, 0, 0, 0, 0, 0, 0.01, 0.01, 0.01]}),
            (item(3, 1, kind=1, manipulators=[manipulator(1, [3, 1, 0, 0, 0, 30, 0])]),
             {"mesh": ("umbrella", 7.9, 1.5, 0.8), "placement": [0, 0, 0, 0, 0, 0, 1, 1, 1],
              "manipulators": [(1, [3, 1, 0, 0, 0, 30, 0], None)]}),
            (item(4, 1, kind=1), {"mesh": ("lake", [0, 1.0, 2.0, 3.0, 3.5]), "placement": [0] * 6 + [1] * 3}),
            (item(2, 1, manipulators=[manipulator(2, [0.5, 0.1, 3]), manipulator(2, [0.2, 0.05, 7])]),
             {"mesh": CUBE_REF, "placement": [0] * 6 + [1] * 3,
              "manipulators": [(2, [0.5, 0.1, 3], None), (2, [0.2, 0.05, 7], None)]}),
            (item(2, 1, scale=(0.1, 0.1, 0.1),
                  manipulators=[manipulator(3, [0, 1, 0, 0, 90, 0, 1, 1, 1, 0, 10, 0], target=(1, 3))]),
             {"mesh": CUBE_REF, "placement": [0] * 6 + [0.1] * 3,
              "manipulators": [(3, [0, 1, 0, 0, 90, 0, 1, 1, 1, 0, 10, 0], ("umbrella", 7.9, 1.5, 0.8))]}),
            (item(1, 1, manipulators=[manipulator(3, [1, 0, 0, 0, 0, 45, 2, 2, 2], target=(0, 2))]),
             {"mesh": QUAD_REF, "placement": [0] * 6 + [1] * 3,
              "manipulators": [(3, [1, 0, 0, 0, 0, 45, 2, 2, 2], CUBE_REF)]}),
            (item(1, 1, pos=(0.5, 0, 0), face=1), {"mesh": QUAD_REF, "placement": [0.5] + [0] * 5 + [1] * 3,
                                                   "face": True}),
        ]
        camera = (10.0, 30.0, 5.0)
        doc = document(models=MODELS, functions=functions_xml(), lights=light((0, 0, 0)),
                       materials=material((1, 0, 0, 1)), mesh_effects=EFFECTS,
                       objects=obj(*[xml for xml, _ in items]),
                       timeline=slots([layer(1, 100000, rotation=camera)]))
        expected = ref.groups(0, 1, 1, [spec for _, spec in items], camera=camera)
        with WorkDir() as work:
            text = mesh_obj(work, doc, [0, 1000, 2000, 3000, 3500])
            self.assertTrue(text.startswith("# "), text[:80])
            actual = parse_obj(text)
            self.assertEqual([g[0] for g in actual], [g[0] for g in expected])
            for a, e in zip(actual, expected):
                name = a[0]
                self.assert_close([a[1]], [e[1]], name + " instance")
                self.assert_close(a[2], e[2], name + " v")
                self.assert_close(a[3], e[3], name + " vn", tolerance=1e-3)
                self.assertEqual(a[4] is None, e[4] is None, name)
                if e[4] is not None:
                    self.assert_close(a[4], e[4], name + " vt")
                self.assertEqual(a[5], e[5], name + " f")
            # The combiner path draws the same geometry; it differs only in its header line.
            combiners = mesh_obj(work, doc, [0, 1000, 2000, 3000, 3500], ["--combiners"])
            self.assertEqual(combiners.split("\n", 1)[1], text.split("\n", 1)[1])
            # Past the end of the timeline nothing is drawn: a header and nothing else.
            empty = mesh_obj(work, doc, [2000000])
            self.assertEqual([line[:1] for line in empty.splitlines()], ["#"])


class TextCapture(CloseValues, unittest.TestCase):
    def test_glyphs_follow_the_pen_once_per_instance(self):
        # Glyphs: A (1) and b (4) and 1 (75) and é (12) have models; the space (86) has none.
        # Every width is 1 but b's is 2, and b is drawn 0.25 left of the pen.
        glyphs = {1: (1, 1, 0, 0, 1), 4: (2, 1, 0, 0.25, 2), 75: (1, 1, 0, 0, 1), 12: (1, 1, 0, 0, 1),
                  86: (0, 0, 0, 0, 1)}
        text = "Ab 1\u00e9"
        # Pen: A at 0 (byte 1), b at 1 - 0.25 (byte 2), the space moves it to 4, 1 at 4 (byte 4),
        # é at 5 (bytes 5 and 6).
        drawn = [(1, 0.0, QUAD_REF), (2, 0.75, CUBE_REF), (4, 4.0, QUAD_REF), (5, 5.0, QUAD_REF)]
        placement = [0.5, 0, 0, 0, 0, 10, 1, 1, 1]
        xmul = [2, 0, 1, 0]
        doc = document(models=MODELS, lights=light((0, 0, 0)), materials=material((1, 0, 0, 1)),
                       fonts=font(glyphs),
                       objects=obj(item(0, 0, kind=2, font=1, text=text, pos=(0.5, 0, 0), rot=(0, 0, 10),
                                        manipulators=[manipulator(1, xmul)])),
                       timeline=slots([layer(1, 1000)]))
        with WorkDir() as work:
            actual = parse_obj(mesh_obj(work, doc, [100]))
        expected = []
        for position, pen, model in drawn:
            instances, positions, normals = ref.run_manipulators(placement, [(1, xmul, None)], *[
                ref.build_mesh(model)[k] for k in (0, 2, 3)])
            for n, inst in enumerate(instances, start=1):
                m = ref.model_matrix([inst[0] + pen] + inst[1:], False, (0, 0, 0))
                expected.append(("s0_l1_o1_i1_g%d_n%d" % (position, n), inst, [ref.transform(m, p) for p in positions]))
        self.assertEqual([g[0] for g in actual], [e[0] for e in expected])
        for a, e in zip(actual, expected):
            self.assert_close([a[1]], [e[1]], a[0] + " instance")
            self.assert_close(a[2], e[2], a[0] + " v")


def project(point, camera_z, width, height):
    """Window pixel (x from the left, y from the top) of a point seen from (0, 0, camera_z) with the
    layers' 60 degree field of view and 16:9 aspect."""
    x, y, z = point[0], point[1], point[2] - camera_z
    f = 1 / math.tan(math.radians(30))
    ndc_x, ndc_y = f / (16 / 9) * x / -z, f * y / -z
    return (ndc_x + 1) / 2 * width, (1 - ndc_y) / 2 * height


class DrawnWhereCaptured(unittest.TestCase):
    """Each mesh effect and manipulator kind, and text, rendered in both paths: the pixels it covers
    fill the box its captured vertices project to."""

    CASES = [
        ("centerwave", item(1, 1, kind=1, pos=(-1.5, 0, -1.5), rot=(60, 0, 0), scale=(0.1, 0.1, 0.1)), 6),
        ("swirl", item(2, 1, kind=1, scale=(0.004, 0.004, 0.004)), 6),
        ("umbrella", item(3, 1, kind=1, rot=(70, 0, 0)), 6),
        ("lake", item(4, 1, kind=1, pos=(-1.5, 0, -1.5), rot=(60, 0, 0), scale=(0.1, 0.1, 0.1)), 6),
        ("xyz", item(1, 1, manipulators=[manipulator(0, [2, 2, 1, 1.5, 1.2, 0])]), 8),
        ("x", item(1, 1, manipulators=[manipulator(1, [3, -1.2, 0.3, 0])]), 8),
        ("rippler", item(2, 1, rot=(20, 30, 0), manipulators=[manipulator(2, [0, 0.6, 0])]), 6),
        ("placer", item(2, 1, scale=(0.2, 0.2, 0.2),
                        manipulators=[manipulator(3, [0, 0, 0, 60, 0, 0, 1, 1, 1], target=(1, 3))]), 6),
        ("radial", item(1, 1, manipulators=[manipulator(4, [1.5])]), 6),
        ("text", item(0, 0, kind=2, font=1, text="Ab!", pos=(-2, 0, 0), rot=(0, 0, 20),
                      manipulators=[manipulator(1, [2, 0, 1.2, 0])]), 6),
    ]
    # A (1) a quad, b (4) a cube, ! (73) a quad drawn with a bitmap-free material.
    FONT = font({1: (1, 1, 0, 0, 1.5), 4: (2, 1, 0, 0.25, 1.5), 73: (1, 1, 0, 0, 1)})

    def test_each_kind_in_both_paths(self):
        width, height = 320, 180
        objects = "".join(obj(xml) for _, xml, _ in self.CASES)
        layers = [layer(i + 1, 100, camera=(0, 0, z)) for i, (_, _, z) in enumerate(self.CASES)]
        doc = document(models=MODELS, functions=functions_xml(), lights=light((0, 0, 0)),
                       materials=material((1, 0, 0, 1)), mesh_effects=EFFECTS, objects=objects,
                       fonts=self.FONT, timeline=slots(layers))
        with WorkDir() as work:
            for i, (name, _, camera_z) in enumerate(self.CASES):
                ms = i * 1000 + 500
                groups = parse_obj(mesh_obj(work, doc, [ms]))
                self.assertTrue(groups, name)
                points = [project(p, camera_z, width, height) for g in groups for p in g[2]]
                box = [min(p[0] for p in points), min(p[1] for p in points),
                       max(p[0] for p in points), max(p[1] for p in points)]
                self.assertTrue(2 < box[0] and box[2] < width - 2 and 2 < box[1] and box[3] < height - 2,
                                "%s: %r is not inside the frame" % (name, box))
                for path, flags in PATHS:
                    out = work.file("%s_%s.png" % (name, path))
                    r = run(with_display([BVTOOL, "render", work.file("t.dpk"), "--time", str(ms), "--size",
                                          "%dx%d" % (width, height), "--out", out] + flags))
                    self.assertEqual(r.returncode, 0, r.stderr)
                    w, h, raw = rgb_pixels(out)
                    red = [(i % w, i // w) for i in range(w * h) if raw[3 * i] > 128]
                    self.assertTrue(red, "%s %s: nothing drawn" % (name, path))
                    drawn = [min(x for x, _ in red), min(y for _, y in red), max(x for x, _ in red) + 1,
                             max(y for _, y in red) + 1]
                    for k in range(4):
                        self.assertAlmostEqual(drawn[k], box[k], delta=1.5,
                                               msg="%s %s: drawn %r, captured %r" % (name, path, drawn, box))


if __name__ == "__main__":
    unittest.main()
