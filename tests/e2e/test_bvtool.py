"""bvtool pack, list, extract, compress and decompress against files that our own code did not write."""

import json
import os
import re
import stat
import struct
import subprocess
import unittest
import zlib

from harness import WorkDir, bvtool, read_bytes, write_bytes, pack_text


def imagemagick(path, *args):
    subprocess.run(["convert"] + list(args) + [path], check=True)


class PackListExtract(unittest.TestCase):
    def setUp(self):
        self.work = WorkDir().__enter__()
        self.src = self.work.file("src")
        os.makedirs(os.path.join(self.src, "textures"))
        imagemagick(os.path.join(self.src, "textures", "wall.png"), "-size", "64x32", "gradient:red-blue")
        imagemagick(os.path.join(self.src, "logo.jpg"), "-size", "40x40", "plasma:fractal", "-seed", "3")
        write_bytes(os.path.join(self.src, "demo.xmlz"), pack_text("<demo>" + "<s/>" * 15 + "</demo>"))
        write_bytes(os.path.join(self.src, "empty.bin"), b"")
        self.names = ["demo.xmlz", "textures/wall.png", "logo.jpg", "empty.bin"]

    def tearDown(self):
        self.work.__exit__(None, None, None)

    def test_round_trip_is_byte_identical(self):
        pkg = self.work.file("demo.dpk")
        r = bvtool("pack", pkg, "-C", self.src, *self.names)
        self.assertEqual(r.returncode, 0, r.stderr)

        # The layout itself, checked against the format independently of our reader.
        data = read_bytes(pkg)
        self.assertEqual(data[:3], b"DP\x01")
        n = len(self.names)
        self.assertEqual(data[3 + 40 * n:3 + 40 * n + 32], b"\0" * 32)
        offset = 35 + 40 * n
        for i, name in enumerate(self.names):
            entry = data[3 + 40 * i:3 + 40 * (i + 1)]
            self.assertEqual(entry[:32].rstrip(b"\0"), name.encode())
            first, last = struct.unpack(">II", entry[32:])
            size = os.path.getsize(os.path.join(self.src, name))
            self.assertEqual((first, last), (offset, offset + size - 1))
            offset += size
        self.assertEqual(len(data), offset)

        listing = bvtool("list", pkg)
        self.assertEqual(listing.returncode, 0)
        expected = "".join("%s\t%d\n" % (name, os.path.getsize(os.path.join(self.src, name)))
                           for name in self.names)
        self.assertEqual(listing.stdout.decode(), expected)

        out = self.work.file("out")
        r = bvtool("extract", pkg, out)
        self.assertEqual(r.returncode, 0, r.stderr)
        for name in self.names:
            self.assertEqual(read_bytes(os.path.join(out, name)), read_bytes(os.path.join(self.src, name)), name)
            mode = stat.S_IMODE(os.stat(os.path.join(out, name)).st_mode)
            self.assertEqual(mode, 0o600, name)

        some = self.work.file("some")
        r = bvtool("extract", pkg, some, "logo.jpg")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(os.listdir(some), ["logo.jpg"])

    def test_failures_leave_nothing_behind(self):
        pkg = self.work.file("bad.dpk")
        cases = [
            ("missing input", ["pack", pkg, "-C", self.src, "demo.xmlz", "nope.png"]),
            ("name too long", ["pack", pkg, "-C", self.src, "x" * 32]),
        ]
        write_bytes(os.path.join(self.src, "x" * 32), b"data")
        for what, args in cases:
            r = bvtool(*args)
            self.assertEqual(r.returncode, 2, what)
            self.assertTrue(r.stderr, what)
            self.assertEqual(sorted(os.listdir(self.work.path)), ["src"], what)

        write_bytes(pkg, b"DP\x01" + b"abc")  # index runs off the end
        self.assertEqual(bvtool("list", pkg).returncode, 2)
        self.assertEqual(bvtool("extract", self.work.file("none.dpk"), self.work.file("o")).returncode, 2)
        self.assertEqual(bvtool("frobnicate").returncode, 2)
        for command in ["pack", "list", "extract", "compress", "decompress"]:
            r = bvtool(command, "--help")
            self.assertEqual(r.returncode, 0, command)
            self.assertIn(b"usage: bvtool " + command.encode(), r.stdout)


class CompressDecompress(unittest.TestCase):
    def test_python_zlib_documents_read_back_exact(self):
        with WorkDir() as work:
            text = ("<demo>\n" + "  <x a=\"1\">v</x>\n" * 2000 + "</demo>\n").encode()
            write_bytes(work.file("doc.xmlz"), struct.pack("<I", len(text)) + zlib.compress(text))
            r = bvtool("decompress", work.file("doc.xmlz"), work.file("doc.xml"))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_bytes(work.file("doc.xml")), text)

            r = bvtool("compress", work.file("doc.xml"), work.file("again.xmlz"))
            self.assertEqual(r.returncode, 0, r.stderr)
            packed = read_bytes(work.file("again.xmlz"))
            self.assertEqual(struct.unpack("<I", packed[:4])[0], len(text))
            self.assertEqual(zlib.decompress(packed[4:]), text)

    def test_damaged_inputs_are_refused(self):
        with WorkDir() as work:
            text = b"<demo/>" * 50
            good = zlib.compress(text)
            cases = {
                "short length": struct.pack("<I", len(text) - 1) + good,
                "long length": struct.pack("<I", len(text) + 1) + good,
                "corrupt": struct.pack("<I", len(text)) + good[:6] + bytes([good[6] ^ 0x55]) + good[7:],
                "truncated": struct.pack("<I", len(text)) + good[:-5],
                "tiny": b"\x01\x02",
            }
            for what, data in cases.items():
                write_bytes(work.file("in"), data)
                r = bvtool("decompress", work.file("in"), work.file("out"))
                self.assertEqual(r.returncode, 2, what)
                self.assertFalse(os.path.exists(work.file("out")), what)
                self.assertFalse(os.path.exists(work.file("out.partial")), what)


if __name__ == "__main__":
    unittest.main()


def unpack_model(path):
    """(positions, texcoords, normals, indices) of a packed model file, read with Python's zlib."""
    packed = read_bytes(path)
    data = zlib.decompress(packed[4:])
    assert struct.unpack("<I", packed[:4])[0] == len(data)
    n, sets = struct.unpack_from("<HB", data)
    assert sets == 1
    f = struct.unpack_from("<%df" % (8 * n), data, 4)
    rows = lambda start, width: [tuple(f[start + i * width:start + (i + 1) * width]) for i in range(n)]
    start = 4 + 32 * n
    return (rows(0, 3), rows(3 * n, 2), rows(5 * n, 3),
            list(struct.unpack_from("<%dH" % ((len(data) - start) // 2), data, start)))


class ModelAndBuild(unittest.TestCase):
    def test_obj_faces_are_fanned_split_and_given_normals(self):
        obj = ("# a quad with normals, then a triangle by negative indices without any\n"
               "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\n"
               "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
               "g quad\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
               "f -5/1 -3/3 -1/4\n")
        with WorkDir() as work:
            write_bytes(work.file("in.obj"), obj.encode())
            r = bvtool("model", work.file("in.obj"), work.file("out.mdl"))
            self.assertEqual(r.returncode, 0, r.stderr)
            positions, tex, normals, indices = unpack_model(work.file("out.mdl"))
            # The triangle's corners share positions with the quad but not normals: 4 + 3 vertices.
            self.assertEqual(positions, [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 0), (1, 1, 0), (0, 0, 1)])
            self.assertEqual(indices, [0, 1, 2, 0, 2, 3, 4, 5, 6])
            self.assertEqual(tex[4:], [(0, 0), (1, 1), (0, 1)])
            self.assertEqual(normals[:4], [(0, 0, 1)] * 4)
            # (P0 - P1) x (P1 - P2) of the triangle (0,0,0), (1,1,0), (0,0,1) is (1, -1, 0), made unit.
            for n in normals[4:]:
                for a, e in zip(n, (0.70710678, -0.70710678, 0)):
                    self.assertAlmostEqual(a, e, places=6)

            # 65536 distinct corners are one too many; a face naming a missing vertex is refused too.
            big = "".join("v %d 0 0\n" % i for i in range(65538))
            big += "".join("f %d %d %d\n" % (i + 1, i + 2, i + 3) for i in range(0, 65538, 3))
            write_bytes(work.file("big.obj"), big.encode())
            r = bvtool("model", work.file("big.obj"), work.file("big.mdl"))
            self.assertEqual(r.returncode, 2)
            self.assertIn(b"more than 65535 vertices", r.stderr)
            write_bytes(work.file("bad.obj"), b"v 0 0 0\nf 1 2 3\n")
            r = bvtool("model", work.file("bad.obj"), work.file("bad.mdl"))
            self.assertEqual(r.returncode, 2)
            self.assertIn(b"line 2", r.stderr)

    def test_obj_without_faces_is_refused(self):
        triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"
        cases = [
            ("points only", b"v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2\np 3\n", b"no faces", b"(found 3 vertices, 3 points)"),
            ("lines only", b"# a path\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nl 1 2 3\nl 3 1\n", b"no faces",
             b"(found 3 vertices, 1 normals, 2 lines)"),
            ("comments only", b"# nothing\ng empty\n", b"no faces", b"(found no vertices, points or lines either)"),
            ("empty", b"", b"the file is empty", b"no faces"),
            ("blank", b"\r\n  \n", b"the file is empty", b"no faces"),
            ("UTF-16 with its mark", triangle.encode("utf-16"), b"UTF-16 (little-endian) text", b"ASCII or UTF-8"),
            ("UTF-16 without a mark", triangle.encode("utf-16-be"), b"UTF-16 (big-endian) text", b"ASCII or UTF-8"),
        ]
        with WorkDir() as work:
            for what, data, finding, detail in cases:
                write_bytes(work.file("in.obj"), data)
                r = bvtool("model", work.file("in.obj"), work.file("out.mdl"))
                self.assertEqual(r.returncode, 2, what)
                self.assertEqual(r.stdout, b"", what)
                self.assertEqual(len(r.stderr.splitlines()), 1, what)
                self.assertIn(b"in.obj: " + finding, r.stderr, what)
                self.assertIn(detail, r.stderr, what)
                self.assertFalse(os.path.exists(work.file("out.mdl")), what)
            # A UTF-8 byte-order mark does not hide the first vertex.
            write_bytes(work.file("in.obj"), triangle.encode("utf-8-sig"))
            r = bvtool("model", work.file("in.obj"), work.file("out.mdl"))
            self.assertEqual(r.returncode, 0, r.stderr)
            positions, _, _, indices = unpack_model(work.file("out.mdl"))
            self.assertEqual(positions, [(0, 0, 0), (1, 0, 0), (0, 1, 0)])
            self.assertEqual(indices, [0, 1, 2])

    def test_build_packs_what_the_player_reads(self):
        """The two documents and the files they name; never the music or the author's other files. The
        player plays the package with its music beside it."""
        from harness import brightvale, make_tone_ogg, read_log
        from scenes import quad_scene
        doc, entries = quad_scene(150, 'file="tone.ogg" offset="0"')
        with WorkDir() as work:
            files = dict(entries)
            files.update({"demo.xml": doc.encode(), "loading.xml": b"<loading>" + b"<s/>" * 14 + b"</loading>",
                          "notes.txt": b"ideas", "tools/make.sh": b"#!/bin/sh\n", "take2.wav": b"RIFF...."})
            for name, data in files.items():
                write_bytes(work.file("src", name), data)
            make_tone_ogg(work.file("src", "tone.ogg"))
            # A folder of the user's that happens to have the staging name is left alone.
            write_bytes(work.file("out.dpk.staging", "keep.txt"), b"mine")
            r = bvtool("build", work.file("src"), work.file("out.dpk"))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(b"left out (the player does not read them): notes.txt, take2.wav, tone.ogg, tools/make.sh",
                          r.stdout)
            self.assertEqual(read_bytes(work.file("out.dpk.staging", "keep.txt")), b"mine")
            listing = bvtool("list", work.file("out.dpk")).stdout.decode().split()
            self.assertEqual(listing[0::2], ["demo.xmlz", "loading.xmlz", "quad.mdl"])
            self.assertEqual(bvtool("extract", work.file("out.dpk"), work.file("x")).returncode, 0)
            for name in ("demo.xml", "loading.xml", "quad.mdl"):
                stored = read_bytes(work.file("x", name + ("z" if name.endswith(".xml") else "")))
                if name.endswith(".xml"):
                    self.assertEqual(struct.unpack("<I", stored[:4])[0], len(files[name]))
                    stored = zlib.decompress(stored[4:])
                self.assertEqual(stored, files[name], name)
            # The package plays, and its music is found beside it.
            os.makedirs(work.file("play"))
            os.rename(work.file("out.dpk"), work.file("play", "out.dpk"))
            os.rename(work.file("src", "tone.ogg"), work.file("play", "tone.ogg"))
            device = work.file("play", "device.raw")
            env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": device, "SDL_DISKAUDIODELAY": "186"}
            r = brightvale(work.file("play"), env=env, timeout=60)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(b"Benchmark result:", read_log(work.file("play")))
            self.assertTrue(any(read_bytes(device)), "the music was heard")
            # A file the documents name that is missing fails the build, and so does a folder without one.
            os.remove(work.file("src", "quad.mdl"))
            r = bvtool("build", work.file("src"), work.file("o.dpk"))
            self.assertEqual(r.returncode, 1)
            self.assertIn(b"quad.mdl", r.stderr)
            self.assertFalse(os.path.exists(work.file("o.dpk")))
            self.assertEqual(bvtool("build", work.file("nothing"), work.file("o.dpk")).returncode, 2)


class Bench(unittest.TestCase):
    def test_load_stages_frames_and_gl_calls(self):
        import json
        from harness import TESTDEMO, run, with_display, BVTOOL
        r = run(with_display([BVTOOL, "bench", TESTDEMO, "--size", "320x180", "--frames", "20", "--json",
                              "--calls"]))
        self.assertEqual(r.returncode, 0, r.stderr)
        report = json.loads(r.stdout)  # the table by entry point goes to standard error
        self.assertIn(b"glDrawElements", r.stderr)
        stages = report["load_ms"]
        self.assertEqual(set(stages), {"package and documents", "texture layers", "texture graph", "models",
                                       "bitmaps", "cube maps", "materials and shader compiles", "the rest",
                                       "total"})
        self.assertAlmostEqual(sum(v for k, v in stages.items() if k != "total"), stages["total"], delta=0.01)
        self.assertEqual(report["frames_drawing"], 20)
        frame = report["frame_ms"]
        self.assertTrue(0 < frame["min"] <= frame["median"] <= frame["max"])
        calls = report["gl_calls_per_frame"]
        # State already set is not sent again: a frame of the test demo made about 550 calls before.
        self.assertTrue(100 < calls["median"] < 350, calls)
        # The timeline's end, read from the document with Python's own XML parser: the longest slot.
        import xml.etree.ElementTree as ET
        from harness import DATA_DIR
        timeline = list(ET.parse(os.path.join(DATA_DIR, "testdemo", "demo.xml")).getroot())[13]
        end = max(sum(int(l.get("space_before")) + int(l.get("length")) for l in slot) for slot in timeline)
        self.assertEqual(report["timeline_end_s"], end / 100)

        # For people: load stages in seconds, the timeline's end in seconds with its hundredths.
        r = run(with_display([BVTOOL, "bench", TESTDEMO, "--size", "320x180", "--frames", "5"]))
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.decode().splitlines()
        self.assertEqual(lines[0], "load (s)")
        self.assertTrue(any(re.fullmatch(r"  total +\d+\.\d{3}", line) for line in lines), lines)
        self.assertIn("across the timeline to %d.%02d s (%d)," % (end // 100, end % 100, end), r.stdout.decode())
        self.assertIn("frame time (ms)", r.stdout.decode())


class Web(unittest.TestCase):
    """bvtool web copies the pages (the studio's too), the package and its music into a folder, and
    names the package and its music in its manifest; a music name that would leave the folder is not
    followed; a demo folder's own files are copied beside them for the studio, and listed."""

    def test_folder_for_a_static_server(self):
        from harness import make_package
        from scenes import quad_scene
        pages = ["index.html", "index.js", "index.wasm", "frame.html", "frame.js", "frame.wasm", "studio.html",
                 "studio.js", "studio_frame.js", "studio_frame.wasm", "studio_worker.js", "studio_worker.wasm"]
        with WorkDir() as work:
            for name in pages:
                write_bytes(work.file("pages", name), name.encode())
            write_bytes(work.file("demo", "music", "song.ogg"), b"OggS song")
            write_bytes(work.file("secret.ogg"), b"OggS secret")  # beside the package's folder
            for music, copied in (("song.ogg", "song.ogg"), ("../secret.ogg", None)):
                doc, entries = quad_scene(100, 'file="%s"' % music)
                make_package(work.file("demo"), "my demo.dpk", [("demo.xmlz", pack_text(doc))] + entries)
                package = work.file("demo", "my demo.dpk")
                site = work.file("site-" + str(copied))
                r = bvtool("web", package, site, "--pages", work.file("pages"))
                self.assertEqual(r.returncode, 0, r.stderr)
                for name in pages:
                    self.assertEqual(read_bytes(os.path.join(site, name)), name.encode())
                self.assertEqual(read_bytes(os.path.join(site, "my demo.dpk")), read_bytes(package))
                self.assertEqual(json.loads(read_bytes(os.path.join(site, "manifest.json"))),
                                 dict({"package": "my demo.dpk"}, **({"music": copied} if copied else {})))
                shipped = sorted(set(os.listdir(site)) - set(pages) - {"my demo.dpk", "manifest.json"})
                self.assertEqual(shipped, [copied] if copied else [], r.stderr)
                if not copied:
                    self.assertIn(b"outside", r.stderr)
            self.assertEqual(read_bytes(work.file("secret.ogg")), b"OggS secret")
            self.assertNotEqual(bvtool("web", package, work.file("x"), "--pages", work.path).returncode, 0,
                                "pages missing")
            # A demo folder written with names: packed as bvtool build packs it, its music from the folder.
            doc, entries = quad_scene(100, 'file="song.ogg"')
            doc = doc.replace('<model filename="quad.mdl"/>', '<model name="quad" filename="quad.mdl"/>')
            doc = doc.replace('object="1"', 'object="@quad"', 1)
            self.assertIn("@quad", doc)
            write_bytes(work.file("mine", "demo.xml"), doc.encode())
            for name, data in entries:
                write_bytes(work.file("mine", name), data)
            write_bytes(work.file("mine", "song.ogg"), b"OggS song")
            r = bvtool("web", work.file("mine"), work.file("site-folder"), "--pages", work.file("pages"))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(bvtool("build", work.file("mine"), work.file("mine.dpk")).returncode, 0)
            self.assertEqual(read_bytes(work.file("site-folder", "mine.dpk")), read_bytes(work.file("mine.dpk")))
            self.assertEqual(read_bytes(work.file("site-folder", "song.ogg")), b"OggS song")
            sources = sorted(["demo.xml", "song.ogg"] + [name for name, _ in entries])
            self.assertEqual(json.loads(read_bytes(work.file("site-folder", "manifest.json"))),
                             {"package": "mine.dpk", "music": "song.ogg", "sources": {"folder": "source", "files": sources}})
            for name in sources:
                self.assertEqual(read_bytes(work.file("site-folder", "source", name)), read_bytes(work.file("mine", name)))
