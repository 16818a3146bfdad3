"""docs/format.md is what `bvtool docs` writes from the engine's tables today, and its worked examples
are demos that `bvtool check` finds nothing in (the second with a stand-in for the font that
`bvtool font` makes, as scripts/doc_pictures.py builds it for the pictures)."""

import os
import re
import sys
import unittest

from harness import BUILD_DIR, BVTOOL, WorkDir, bvtool, run, with_display

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "..", "..", "docs", "format.md")
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import doc_pictures  # noqa: E402


class FormatReference(unittest.TestCase):
    def test_committed_reference_is_current(self):
        with WorkDir() as work:
            r = bvtool("docs", work.file("format.md"))
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(work.file("format.md"), "rb") as f:
                written = f.read()
        with open(REFERENCE, "rb") as f:
            committed = f.read()
        self.assertEqual(written, committed,
                         "docs/format.md is out of date: run bvtool docs docs/format.md")

    def test_worked_example_is_a_clean_demo(self):
        with open(REFERENCE, encoding="utf-8") as f:
            text = f.read()
        example = text[text.index("## Worked example"):]
        obj = re.search(r"```obj\n(.*?)```", example, re.S).group(1)
        xml = re.search(r"```xml\n(.*?)```", example, re.S).group(1)
        with WorkDir() as work:
            os.makedirs(work.file("mydemo"))
            with open(work.file("square.obj"), "w") as f:
                f.write(obj)
            with open(work.file("mydemo", "demo.xml"), "w") as f:
                f.write(xml)
            self.assertEqual(bvtool("model", work.file("square.obj"), work.file("mydemo", "square.mdl")).returncode, 0)
            r = run(with_display([BVTOOL, "check", work.file("mydemo")]), timeout=120)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertTrue(r.stdout.endswith(b": no findings\n"), r.stdout)

    def test_beat_example_is_a_clean_demo(self):
        with WorkDir() as work:
            doc_pictures.example_folder(BUILD_DIR, work.file("mydemo"))
            r = run(with_display([BVTOOL, "check", work.file("mydemo")]), timeout=120)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            self.assertTrue(r.stdout.endswith(b": no findings\n"), r.stdout)


if __name__ == "__main__":
    unittest.main()
