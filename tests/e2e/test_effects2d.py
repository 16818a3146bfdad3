"""bvtool effects: 2D effect textures read back from GL, byte for byte against an independent
reference script."""

import os
import subprocess
import sys
import unittest

from harness import BVTOOL, DATA_DIR, WorkDir, make_package, pack_text, run, with_display
from scenes import document, function_linear

sys.path.insert(0, DATA_DIR)
import effect2d_reference as ref  # noqa: E402

# (kind, resolution, bpp); every effect's parameter is function 1, P0 = t (hundredths).
EFFECTS = [(1, 64, 24), (1, 64, 8), (3, 128, 24), (3, 64, 8), (4, 64, 24), (4, 64, 8)]


def effects_xml():
    return "".join('<e name="e%d" type="%d" texture_format="0" texture_filter="1" resolution="%dx%d" bpp="%d">'
                   '<p>1</p></e>' % (i, kind, size, size, bits) for i, (kind, size, bits) in enumerate(EFFECTS))


def decoded(path, bits):
    return subprocess.run(["convert", path, "-depth", "8", ("gray:-" if bits == 8 else "rgb:-")], check=True,
                          stdout=subprocess.PIPE).stdout


class Effects2D(unittest.TestCase):
    def test_plasma_rotate_and_normalmap_match_the_reference(self):
        doc = document(functions=function_linear(1, 0), effects2d=effects_xml())
        with WorkDir() as work:
            make_package(work.path, "t.dpk", [("demo.xmlz", pack_text(doc))])
            # Creation (t = 0), then a few steps, then a large phase; each run updates once per time.
            for times, p0 in [((), 0), ((1230,), 123), ((500, 98760), 9876)]:
                out = work.file("out%d" % p0)
                args = [BVTOOL, "effects", work.file("t.dpk"), out]
                for t in times:
                    args += ["--time", str(t)]
                r = run(with_display(args))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(sorted(os.listdir(out)), ["%03d.png" % (i + 1) for i in range(len(EFFECTS))])
                for i, (kind, size, bits) in enumerate(EFFECTS):
                    actual = decoded(os.path.join(out, "%03d.png" % (i + 1)), bits)
                    expected = ref.image(kind, size, bits, p0)
                    self.assertEqual(len(actual), len(expected))
                    wrong = sum(1 for a, e in zip(actual, expected) if a != e)
                    self.assertEqual(wrong, 0, "effect %d (kind %d, %d bits) at P0 %s: %d bytes differ"
                                     % (i + 1, kind, bits, p0, wrong))

    def test_bad_arguments_and_missing_packages_fail(self):
        with WorkDir() as work:
            self.assertEqual(run([BVTOOL, "effects"]).returncode, 2)
            r = run(with_display([BVTOOL, "effects", work.file("none.dpk"), work.file("o")]))
            self.assertEqual(r.returncode, 2)
            self.assertIn(b"cannot open", r.stderr)


if __name__ == "__main__":
    unittest.main()
