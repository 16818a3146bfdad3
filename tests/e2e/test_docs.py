"""docs/format.md is what `bvtool docs` writes from the engine's tables today, and its worked example
is a demo that `bvtool check` finds nothing in."""

import os
import re
import unittest

from harness import BVTOOL, WorkDir, bvtool, run, with_display

REFERENCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "format.md")


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


if __name__ == "__main__":
    unittest.main()
