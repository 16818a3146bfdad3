"""The browser's texture graph (build-web/bench.html; the filters' kernels built with wasm SIMD)
stores the bytes of the separate Python reference in tests/data/texture_reference.py: the
generators and filters of test_textures, edge parameters included, compared by each output
image's CRC-32."""

import json
import os
import shutil
import unittest
import zlib

import browser
import test_textures
from harness import BUILD_DIR, WorkDir, make_package, pack_text
from scenes import document

WEB_BUILD = os.path.abspath(os.environ.get("BV_WEB_BUILD") or os.path.join(BUILD_DIR, "..", "build-web"))


class WebTextures(unittest.TestCase):
    def test_generators_and_filters_match_the_reference(self):
        layers, nodes, expected = test_textures.build()
        with WorkDir() as work:
            for name in ("bench.html", "bench.js", "bench.wasm"):
                shutil.copy(os.path.join(WEB_BUILD, name), work.path)
            make_package(work.path, "t.dpk",
                         [("demo.xmlz", pack_text(document(texture_layers=layers, procedural_textures=nodes)))])
            with browser.StaticServer(work.path) as server, browser.Browser() as b:
                b.open(server.url + "bench.html?package=t.dpk&only=textures")
                title = b.wait_title(["textures ready ", "bench failed"])
        self.assertIsNotNone(title, "bench.html never finished")
        self.assertTrue(title.startswith("textures ready "), title)
        result = json.loads(title[len("textures ready "):])
        # Output nodes in list order, as the page reports them.
        order = sorted(expected)
        self.assertEqual(result["outputs"], len(order))
        for index, crc in zip(order, result["output_crc32"]):
            what, reference = expected[index]
            with self.subTest(what, node=index):
                self.assertEqual(crc, zlib.crc32(bytes(reference)), "%s differs from the reference" % what)


if __name__ == "__main__":
    unittest.main()
