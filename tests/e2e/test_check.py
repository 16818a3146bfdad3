"""bvtool check: one small broken document per rule (tests/data/check/), each giving exactly its
message on the line marked in it; the sample demo and the test demo are clean; damaged input of every
kind ends in a clean exit."""

import glob
import json
import os
import shutil
import subprocess
import unittest

from harness import BUILD_DIR, BVTOOL, DATA_DIR, WorkDir, run, with_display, write_bytes

CASES = os.path.join(DATA_DIR, "check")
TESTDEMO_SRC = os.path.join(BUILD_DIR, "testdemo", "src")
SAMPLE_SRC = os.path.join(BUILD_DIR, "sample", "src")
HERE = os.path.dirname(os.path.abspath(__file__))


def check(*args, display=False, timeout=300):
    command = [BVTOOL, "check"] + [str(a) for a in args]
    return run(with_display(command) if display else command, timeout=timeout)


def expectation(path):
    """The case's expected line, with LINE replaced by the number of the line its marker stands on
    (the marker is "<!--!-->", or the text an "at:" comment names)."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    expect, marker = None, "<!--!-->"
    for line in lines[:4]:
        if line.startswith("<!-- expect: "):
            expect = line[len("<!-- expect: "):-len(" -->")]
        if line.startswith("<!-- at: "):
            marker = line[len("<!-- at: "):-len(" -->")]
    if expect is None:
        return None
    number = next(i + 1 for i, line in enumerate(lines) if marker in line and not line.startswith("<!-- "))
    return expect.replace("LINE", str(number))


class Corpus(unittest.TestCase):
    def run_case(self, work, path, display):
        folder = work.file(os.path.basename(path)[:-4], "demo")
        os.makedirs(folder)
        shutil.copy(path, os.path.join(folder, "demo.xml"))
        shutil.copy(os.path.join(TESTDEMO_SRC, "quad.mdl"), folder)
        write_bytes(os.path.join(folder, "notimage.png"), b"these are not the bytes of an image\n")
        return check(folder, *([] if display else ["--no-glsl"]), display=display)

    def test_each_rule_gives_its_message_on_its_line(self):
        cases = sorted(glob.glob(os.path.join(CASES, "*.xml")))
        self.assertGreater(len(cases), 25)
        with WorkDir() as work:
            for path in cases:
                name = os.path.basename(path)
                if name == "glsl_syntax.xml":
                    continue
                with self.subTest(name):
                    expected = expectation(path)
                    r = self.run_case(work, path, display=False)
                    lines = r.stdout.decode().splitlines()
                    if expected:
                        self.assertEqual(lines, [expected], r.stderr.decode())
                    else:
                        self.assertEqual(len(lines), 1, lines)
                        self.assertTrue(lines[0].endswith("no findings (GLSL programs not compiled: --no-glsl)"), lines)
                    self.assertEqual(r.returncode, 1 if expected else 0)

    def test_a_custom_program_that_does_not_compile_is_reported_against_its_material(self):
        path = os.path.join(CASES, "glsl_syntax.xml")
        with WorkDir() as work:
            r = self.run_case(work, path, display=True)
        self.assertEqual(r.returncode, 1, r.stderr.decode())
        prefix = expectation(path).split("...")[0]
        lines = r.stdout.decode().splitlines()
        self.assertTrue(lines, r.stderr.decode())
        self.assertTrue(all(line.startswith(prefix) for line in lines), lines)
        self.assertTrue(any("error" in line.lower() for line in lines), lines)

    def test_json_and_exit_statuses(self):
        with WorkDir() as work:
            r = self.run_case(work, os.path.join(CASES, "negative_length.xml"), display=False)
            folder = work.file("negative_length", "demo")
            r = check(folder, "--json", "--no-glsl")
            self.assertEqual(r.returncode, 1)
            findings = json.loads(r.stdout.decode())
            self.assertEqual([f["file"] for f in findings], ["demo.xml"])
            self.assertIn("length -100 is negative", findings[0]["message"])
            self.assertEqual(check(work.file("nothing-here")).returncode, 2)
            write_bytes(work.file("bad.dpk"), b"DP\x01" + b"x" * 10)
            r = check(work.file("bad.dpk"), "--no-glsl")
            self.assertEqual(r.returncode, 2)
            self.assertIn(b"bvtool: check:", r.stderr)


class Demos(unittest.TestCase):
    def test_the_sample_and_the_test_demo_are_clean(self):
        # The test demo's staged folder holds compressed documents; a folder of the sources is made.
        with WorkDir() as work:
            testdemo = work.file("testdemo")
            shutil.copytree(TESTDEMO_SRC, testdemo)
            for name in ("demo", "loading"):
                os.remove(os.path.join(testdemo, name + ".xmlz"))
                shutil.copy(os.path.join(DATA_DIR, "testdemo", name + ".xml"), testdemo)
            for target in (SAMPLE_SRC, os.path.join(BUILD_DIR, "sample", "sample.dpk"), testdemo,
                           os.path.join(BUILD_DIR, "testdemo", "testdemo.dpk")):
                with self.subTest(target):
                    r = check(target, display=True)
                    self.assertRegex(r.stdout.decode(), r"^\S+: demo\.xmlz? \(\d+ records\) and loading\.xmlz? "
                                                        r"\(\d+ records\): no findings\n$")
                    self.assertNotIn(b"not compiled", r.stderr)
                    self.assertEqual(r.returncode, 0, r.stderr.decode())


class DamagedInput(unittest.TestCase):
    """check reads what strangers send: every malformed package and every fuzz regression ends with
    a status of 0, 1 or 2 and no crash (the sanitizer build runs this too)."""

    def test_malformed_corpus_and_fuzz_regressions(self):
        with WorkDir() as work:
            subprocess.run(["python3", os.path.join(DATA_DIR, "malformed", "make_malformed.py"), work.file("m")],
                           check=True, stdout=subprocess.DEVNULL)
            targets = []
            for case in sorted(os.listdir(work.file("m"))):
                for name in os.listdir(work.file("m", case)):
                    if name.endswith("dpk"):
                        targets.append(work.file("m", case, name))
            regressions = os.path.join(HERE, "..", "..", "fuzz", "regressions")
            for kind in sorted(os.listdir(regressions)):
                for name in sorted(os.listdir(os.path.join(regressions, kind))):
                    with open(os.path.join(regressions, kind, name), "rb") as f:
                        data = f.read()
                    folder = work.file("fuzz", kind, name)
                    os.makedirs(folder)
                    # Each regression where its reader meets it: a document, a bitmap, a model.
                    with open(os.path.join(CASES, "valid.xml"), "rb") as f:
                        doc = f.read()
                    if kind == "scene":
                        doc = data
                    elif kind == "image":
                        doc = doc.replace(b"<bitmaps/>", b'<bitmaps><bitmap filename="x.png"/></bitmaps>')
                        write_bytes(os.path.join(folder, "x.png"), data)
                    else:
                        write_bytes(os.path.join(folder, "quad.mdl"), data)
                    write_bytes(os.path.join(folder, "demo.xml"), doc)
                    targets.append(folder)
            self.assertGreater(len(targets), 10)
            for target in targets:
                with self.subTest(target):
                    r = check(target, "--no-glsl", timeout=120)
                    self.assertIn(r.returncode, (0, 1, 2), r.stderr.decode(errors="replace"))
                    self.assertNotIn(b"Sanitizer", r.stderr)


if __name__ == "__main__":
    unittest.main()
