"""bvtool pack, list, extract, compress and decompress against files that our own code did not write."""

import os
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
            self.assertEqual(r.returncode, 1, what)
            self.assertTrue(r.stderr, what)
            self.assertEqual(sorted(os.listdir(self.work.path)), ["src"], what)

        write_bytes(pkg, b"DP\x01" + b"abc")  # index runs off the end
        self.assertEqual(bvtool("list", pkg).returncode, 1)
        self.assertEqual(bvtool("extract", self.work.file("none.dpk"), self.work.file("o")).returncode, 1)
        self.assertEqual(bvtool("frobnicate").returncode, 1)
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
                self.assertEqual(r.returncode, 1, what)
                self.assertFalse(os.path.exists(work.file("out")), what)
                self.assertFalse(os.path.exists(work.file("out.partial")), what)


if __name__ == "__main__":
    unittest.main()
