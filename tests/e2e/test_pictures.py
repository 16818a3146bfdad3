"""bvtool timeline and bvtool plot. The timeline of the sample and of the test demo (and of a test
demo with a hole in it) is valid SVG with one bar per layer where the document places it, labelled
with its object, and the demo's end where the player ends it: all computed here from the document
by the format's rules. The PNG of the test demo's timeline is held against a golden picture. The
curves of a function of each segment kind, a looped and a ping-pong one are the values of an
independent evaluation (tests/data/function_reference.py) at every hundredth, and a spline's knots
stand where the format says the engine moves them."""

import os
import re
import shutil
import sys
import unittest
import xml.etree.ElementTree as ET

from harness import BUILD_DIR, DATA_DIR, TESTDEMO, WorkDir, bvtool
from scenes import rgb_pixels

sys.path.insert(0, DATA_DIR)
import function_reference  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
SAMPLE_SRC = os.path.join(BUILD_DIR, "sample", "src")
TESTDEMO_XML = os.path.join(DATA_DIR, "testdemo", "demo.xml")
GOLDEN = os.path.join(DATA_DIR, "golden", "timeline_testdemo.png")
FAILURE_DIR = os.path.join(BUILD_DIR, "golden-failures")
# The rasteriser is ours and exact arithmetic; a compiler may still round a line's coverage a step
# differently.
MAX_CHANNEL_DIFFERENCE = 16
MEAN_DIFFERENCE = 0.05
PLOT_TOLERANCE = 1e-4  # of the panel's value span: the SVG keeps three decimals of a pixel


def document_layers(path):
    """The layers of a document's timeline placed by the format's rules, and the object names."""
    top = ET.parse(path).getroot()
    sections = list(top)
    objects = [o.get("name") for o in sections[12]]

    def object_number(text):
        # A layer names its object by number or as @name (a record's name attribute).
        text = text.strip()
        return objects.index(text[1:]) + 1 if text.startswith("@") else int(text)
    layers = []
    for s, slot in enumerate(list(sections[13])[:24]):
        running = 0
        for i, el in enumerate(slot):
            begin = running + int(el.get("space_before", "0"))
            end = begin + int(el.get("length", "0"))
            layers.append({"slot": s, "index": i + 1, "start": running, "begin": begin, "end": end,
                           "object": object_number(el.get("id", "0"))})
            running = end
    return layers, objects


def player_end(layers, object_count):
    """The first time (hundredths) at which no slot's active layer draws an object that exists."""
    if not any(l["slot"] == 0 for l in layers):
        return 0
    last = max(l["end"] for l in layers)
    by_slot = {}
    for l in layers:
        by_slot.setdefault(l["slot"], []).append(l)
    for t in range(0, last + 2):
        drawn = False
        for slot in by_slot.values():
            active = next((l for l in slot if t <= l["end"]), None)
            if active and t >= active["begin"] and 1 <= active["object"] <= object_count:
                drawn = True
                break
        if not drawn:
            return t
    return last + 1


def groups(root, cls):
    return [g for g in root.iter(SVG + "g") if g.get("class") == cls]


def path_points(d):
    numbers = [float(v) for v in re.findall(r"-?\d+(?:\.\d+)?", d)]
    return list(zip(numbers[0::2], numbers[1::2]))


class Timeline(unittest.TestCase):
    def check_timeline(self, source, document, expect_status):
        with WorkDir() as work:
            out = work.file("timeline.svg")
            r = bvtool("timeline", source, out, "--bpm", "120")
            self.assertEqual(r.returncode, expect_status, r.stderr)
            root = ET.parse(out).getroot()  # well-formed XML
        self.assertEqual(root.tag, SVG + "svg")
        self.assertFalse([e for e in root.iter() if e.tag.endswith("script")])
        layers, objects = document_layers(document)
        axis = groups(root, "axis")[0]
        x0, x1, t0, t1 = (float(axis.get(k)) for k in ("data-x0", "data-x1", "data-t0", "data-t1"))

        def x(t):
            return x0 + (t - t0) * (x1 - x0) / (t1 - t0)

        bars = groups(root, "layer")
        self.assertEqual(len(bars), len(layers))
        for bar, layer in zip(bars, layers):
            where = "slot %d layer %d" % (layer["slot"], layer["index"])
            self.assertEqual((int(bar.get("data-slot")), int(bar.get("data-layer"))), (layer["slot"], layer["index"]))
            self.assertEqual((int(bar.get("data-start")), int(bar.get("data-end"))), (layer["begin"], layer["end"]), where)
            rect = bar.find(SVG + "rect")
            self.assertAlmostEqual(float(rect.get("x")), x(layer["begin"]), delta=0.01, msg=where)
            self.assertAlmostEqual(float(rect.get("width")), max(1.0, x(layer["end"]) - x(layer["begin"]) - 1),
                                   delta=0.01, msg=where)
            title = bar.find(SVG + "title").text
            number = layer["object"]
            if number == 0:
                label = "no object"
            else:
                name = objects[number - 1] if number <= len(objects) else None
                label = "object %d" % number + (' "%s"' % name if name else "")
            self.assertIn(label + ",", title, where)
            text = bar.find(SVG + "text")
            if text is not None and not text.text.endswith("..."):
                self.assertTrue(label in text.text or (str(number) in text.text if number else "no object" in text.text),
                                "%s: %r" % (where, text.text))
        end = groups(root, "end")[0]
        expected = player_end(layers, len(objects))
        self.assertEqual(int(end.get("data-time")), expected)
        line = [p for p in end.iter(SVG + "path")][-1]
        self.assertAlmostEqual(path_points(line.get("d"))[0][0], x(expected), delta=0.01)
        return root

    def test_sample_test_demo_and_a_hole(self):
        self.check_timeline(SAMPLE_SRC, os.path.join(SAMPLE_SRC, "demo.xml"), 0)
        self.check_timeline(TESTDEMO, TESTDEMO_XML, 0)
        # Slot 0 alone, with a second of nothing between its layers: the player ends at the gap.
        tree = ET.parse(TESTDEMO_XML)
        timeline = list(tree.getroot())[13]
        for slot in list(timeline)[1:]:
            timeline.remove(slot)
        list(list(timeline)[0])[1].set("space_before", "100")
        with WorkDir() as work:
            folder = work.file("hole")
            os.makedirs(folder)
            tree.write(os.path.join(folder, "demo.xml"), encoding="UTF-8", xml_declaration=True)
            root = self.check_timeline(folder, os.path.join(folder, "demo.xml"), 1)
        findings = [g.find(SVG + "title").text for g in groups(root, "finding")]
        self.assertTrue(any("nothing draws from 2.51 s (251) to 3.50 s (350)" in f for f in findings), findings)

    def test_png_against_golden(self):
        with WorkDir() as work:
            out = work.file("timeline.png")
            r = bvtool("timeline", TESTDEMO, out)
            self.assertEqual(r.returncode, 0, r.stderr)
            w, h, actual = rgb_pixels(out)
            gw, gh, expected = rgb_pixels(GOLDEN)
            self.assertEqual((w, h), (gw, gh))
            diffs = [abs(a - b) for a, b in zip(actual, expected)]
            worst, mean = max(diffs), sum(diffs) / len(diffs)
            if worst > MAX_CHANNEL_DIFFERENCE or mean > MEAN_DIFFERENCE:
                os.makedirs(FAILURE_DIR, exist_ok=True)
                stem = os.path.join(FAILURE_DIR, "timeline_testdemo")
                shutil.copy(out, stem + "_actual.png")
                with open(stem + "_diff.ppm", "wb") as f:
                    f.write(b"P6 %d %d 255\n" % (w, h) + bytes(min(255, d * 4) for d in diffs))
                self.fail("the timeline differs: max %d (limit %d), mean %.3f (limit %.3f); see %s_actual.png"
                          % (worst, MAX_CHANNEL_DIFFERENCE, mean, MEAN_DIFFERENCE, stem))


FUNCTIONS = [
    ("constant", 0, 0, 0, '<s type="0" length="100"><p>0.75</p></s>'),
    ("linear", 0, 0, 0, '<s type="1" length="200"><p>0.01</p><p>-0.5</p></s>'),
    ("quadratic", 0, 0, 0, '<s type="2" length="150"><p>0.0001</p><p>50</p><p>-0.2</p></s>'),
    ("sinus", 0, 0, 0, '<s type="3" length="300"><p>0.8</p><p>0.0628</p><p>0.5</p><p>0.1</p></s>'),
    # The third knot (x 40) lies before the second (x 50): the engine moves it to 51 with y 1.
    ("spline", 0, 0, 0, '<s type="4" length="250"><p>0</p><p>0</p><p>50</p><p>1</p><p>40</p><p>2</p>'
                        '<p>120</p><p>-1</p><p>200</p><p>0.5</p></s>'),
    ("sinus_x", 0, 0, 0, '<s type="5" length="300"><p>0.002</p><p>0.1</p><p>0</p><p>0</p><p>0.2</p></s>'),
    ("looped", 1, 20, 70.9, '<s type="1" length="50"><p>0.02</p><p>0</p></s><s type="3" length="100">'
                            '<p>0.3</p><p>0.2</p><p>0</p><p>1</p></s>'),
    ("pingpong", 2, 100, 200, '<s type="1" length="300"><p>0.01</p><p>0</p></s>'),
    ("chain", 0, 0, 0, '<s type="0" length="60"><p>-1</p></s><s type="2" length="80"><p>0.0005</p><p>40</p>'
                       '<p>-0.5</p></s><s type="3" length="200"><p>1</p><p>0.05</p><p>0</p><p>0.5</p></s>'),
]


class Plot(unittest.TestCase):
    def plot_document(self, folder):
        with open(TESTDEMO_XML, encoding="utf-8") as f:
            text = f.read()
        records = "".join('<function name="%s" type="0" loop_type="%d" loop_begin="%s" loop_end="%s">%s</function>\n'
                          % (name, mode, begin, end, segments) for name, mode, begin, end, segments in FUNCTIONS)
        text = text.replace("  </functions>", records + "  </functions>", 1)
        os.makedirs(folder)
        path = os.path.join(folder, "demo.xml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_curves_match_an_independent_evaluation(self):
        with WorkDir() as work:
            document = self.plot_document(work.file("demo"))
            out = work.file("plot.svg")
            names = ["@" + f[0] for f in FUNCTIONS]
            r = bvtool("plot", work.file("demo"), out, *sum((["--function", n] for n in names), []),
                       "--from", "0s", "--to", "6s", "--bpm", "120")
            self.assertEqual(r.returncode, 0, r.stderr)
            root = ET.parse(out).getroot()
            reference = function_reference.read_functions(document)
        first = len(reference) - len(FUNCTIONS) + 1
        curves = groups(root, "curve")
        self.assertEqual([int(c.get("data-function")) for c in curves], list(range(first, len(reference) + 1)))
        for curve, (name, *_rest) in zip(curves, FUNCTIONS):
            fn = reference[int(curve.get("data-function")) - 1]
            x0, x1, t0, t1, v0, v1, y0, y1 = (float(curve.get("data-" + k))
                                              for k in ("x0", "x1", "t0", "t1", "v0", "v1", "y0", "y1"))
            self.assertEqual((t0, t1), (0, 600))
            times = []
            for seg in groups(curve, "segment"):
                for px, py in path_points(seg.find(SVG + "path").get("d")):
                    t = t0 + (px - x0) * (t1 - t0) / (x1 - x0)
                    self.assertAlmostEqual(t, round(t), delta=0.01, msg="%s: a point between hundredths" % name)
                    t = round(t)
                    v = v0 + (py - y0) * (v1 - v0) / (y1 - y0)
                    expected = function_reference.evaluate(fn, t)
                    self.assertLessEqual(abs(v - expected), PLOT_TOLERANCE * (v1 - v0),
                                         "%s at %d: drawn %g, evaluated %g" % (name, t, v, expected))
                    self.assertEqual(int(seg.get("data-segment")), function_reference.locate(fn, t)[0] + 1,
                                     "%s at %d" % (name, t))
                    times.append(t)
            # 600 hundredths across more than 600 pixels: every one is drawn.
            self.assertEqual(sorted(set(times)), list(range(0, 601)), name)
        loops = {int(g.get("data-mode")): (int(g.get("data-begin")), int(g.get("data-end"))) for g in groups(root, "loop")}
        self.assertEqual(loops, {1: (20, 70), 2: (100, 200)})
        # The spline's five knots where the format places them, the third moved.
        spline = reference[first + 4 - 1]
        X, Y = function_reference.spline_knots(spline["segments"][0][2])
        written = spline["segments"][0][2]
        knots = [(float(g.get("data-t")), float(g.get("data-v")), g.get("data-moved") == "1") for g in groups(root, "knot")]
        expected = [(X[k + 1], Y[k + 1], (X[k + 1], Y[k + 1]) != (written[2 * k - 2], written[2 * k - 1]))
                    for k in range(1, 6)]
        self.assertEqual(len(knots), 5)
        for got, want in zip(knots, expected):
            self.assertAlmostEqual(got[0], want[0], places=3)
            self.assertAlmostEqual(got[1], want[1], places=6)
            self.assertEqual(got[2], want[2])
        self.assertEqual([k[2] for k in knots], [False, False, True, False, False])
        beats = groups(root, "beats")
        self.assertTrue(beats and all(float(b.get("data-step")) == 50 for b in beats))

    def test_every_function_of_the_sample_and_bad_input(self):
        with WorkDir() as work:
            out = work.file("plot.svg")
            r = bvtool("plot", SAMPLE_SRC, out)
            self.assertEqual(r.returncode, 0, r.stderr)
            count = len(list(list(ET.parse(os.path.join(SAMPLE_SRC, "demo.xml")).getroot())[3]))
            self.assertEqual(len(groups(ET.parse(out).getroot(), "curve")), count)
            for args in (["plot", SAMPLE_SRC, out, "--function", "999"],
                         ["plot", SAMPLE_SRC, out, "--function", "@nothing-so-called"],
                         ["plot", SAMPLE_SRC, work.file("plot.txt")],
                         ["plot", SAMPLE_SRC, out, "--from", "2s", "--to", "1s"],
                         ["timeline", work.file("missing"), out],
                         ["timeline", SAMPLE_SRC, out, "--bpm", "fast"]):
                r = bvtool(*args)
                self.assertEqual(r.returncode, 2, args)
                self.assertTrue(r.stderr.startswith(b"bvtool: "), r.stderr)


if __name__ == "__main__":
    unittest.main()
