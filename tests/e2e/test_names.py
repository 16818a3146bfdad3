"""bvtool names: the sample and the test demo rewritten to numbers and to names build byte for byte the
package they built before, either way round; a document naming a record that no record is called is
refused with its line, and nothing is written."""

import os
import re
import shutil
import unittest

from harness import BUILD_DIR, DATA_DIR, WorkDir, bvtool, read_bytes

SAMPLE_SRC = os.path.join(BUILD_DIR, "sample", "src")
TESTDEMO_SRC = os.path.join(BUILD_DIR, "testdemo", "src")
DOCUMENTS = ("demo.xml", "loading.xml")
# A reference written as a name: an attribute value or an element's text that starts with "@".
NAMED_REFERENCE = re.compile(rb'="@|>@')
COMMENT = re.compile(rb"<!--.*?-->", re.S)


def named_reference(text):
    return NAMED_REFERENCE.search(COMMENT.sub(b"", text))


def sample_folder(work):
    folder = work.file("sample")
    shutil.copytree(SAMPLE_SRC, folder)
    return folder


def testdemo_folder(work):
    """The test demo's staged folder holds compressed documents; a folder of the sources is made."""
    folder = work.file("testdemo")
    shutil.copytree(TESTDEMO_SRC, folder)
    for name in DOCUMENTS:
        os.remove(os.path.join(folder, name + "z"))
        shutil.copy(os.path.join(DATA_DIR, "testdemo", name), folder)
    return folder


class RoundTrips(unittest.TestCase):
    def build(self, work, folder, tag):
        package = work.file(tag + ".dpk")
        r = bvtool("build", folder, package)
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        return read_bytes(package)

    def names(self, folder, to):
        r = bvtool("names", folder, "--to", to)
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        return r.stdout.decode()

    def documents(self, folder):
        return [read_bytes(os.path.join(folder, name)) for name in DOCUMENTS]

    def round_trips(self, make_folder):
        with WorkDir() as work:
            folder = make_folder(work)
            original = self.build(work, folder, "original")

            self.names(folder, "numbers")
            numbers = self.documents(folder)
            for text in numbers:
                self.assertIsNone(named_reference(text))
            self.assertEqual(self.build(work, folder, "numbers"), original)

            said = self.names(folder, "names")
            named = self.documents(folder)
            self.assertTrue(named_reference(named[0]), said)
            self.assertRegex(said, r"demo\.xml: \d+ records named, [1-9]\d* references written as names")
            self.assertEqual(self.build(work, folder, "names"), original)

            # Once named, naming again changes nothing; back to numbers gives the numbers again, the
            # names staying on their records.
            self.names(folder, "names")
            self.assertEqual(self.documents(folder), named)
            self.names(folder, "numbers")
            self.assertEqual(self.build(work, folder, "back"), original)
            self.names(folder, "names")
            self.assertEqual(self.documents(folder), named)

    def test_the_sample(self):
        self.round_trips(sample_folder)

    def test_the_test_demo(self):
        self.round_trips(testdemo_folder)


class Refusals(unittest.TestCase):
    def test_an_unknown_name_is_reported_and_nothing_is_written(self):
        with WorkDir() as work:
            folder = testdemo_folder(work)
            demo = os.path.join(folder, "demo.xml")
            with open(demo, encoding="utf-8") as f:
                lines = f.read().split("\n")
            at = next(i for i, line in enumerate(lines) if '<layer id="1"' in line)
            lines[at] = lines[at].replace('<layer id="1"', '<layer id="@nowhere"', 1)
            with open(demo, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            before = self.documents(folder)
            for to in ("names", "numbers"):
                with self.subTest(to):
                    r = bvtool("names", folder, "--to", to)
                    self.assertEqual(r.returncode, 1)
                    self.assertIn('demo.xml:%d: slot ' % (at + 1), r.stderr.decode())
                    self.assertIn('"@nowhere", but no object is called so', r.stderr.decode())
                    self.assertEqual(r.stdout, b"")
                    # loading.xml would have been rewritten: it is left as well.
                    self.assertEqual(self.documents(folder), before)

    def test_bad_input(self):
        with WorkDir() as work:
            folder = testdemo_folder(work)
            for args in ([work.file("missing"), "--to", "names"], [folder, "--to", "words"], [folder],
                         [os.path.join(folder, "demo.xml"), "--to", "numbers"], [work.path, "--to", "names"]):
                with self.subTest(args):
                    r = bvtool("names", *args)
                    self.assertEqual(r.returncode, 2, r.stderr.decode())
                    self.assertTrue(r.stderr.startswith(b"bvtool: names: "), r.stderr)

    def documents(self, folder):
        return [read_bytes(os.path.join(folder, name)) for name in DOCUMENTS]


if __name__ == "__main__":
    unittest.main()
