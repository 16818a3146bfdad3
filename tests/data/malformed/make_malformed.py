"""The malformed corpus: damaged packages, documents and music made from the test demo, each with
the outcome the player and `bvtool render` must reach (a log line and an exit status). Nothing here
may end in a crash, a hang or a sanitizer report.

    make_malformed.py OUTPUT_FOLDER   writes CASE/ folders (the package and any music beside it)

The e2e test tests/e2e/test_malformed.py plays every case; the fuzz seeds take its documents."""

import os
import re
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "scripts"))
import bvassets  # noqa: E402

TESTDEMO = os.path.join(HERE, "..", "testdemo")
sys.path.insert(0, TESTDEMO)
import make_assets  # noqa: E402

SECTIONS = 15


def read(path):
    with open(path, "rb") as f:
        return f.read()


def short_demo():
    """The test demo's document with every time a tenth as long (the timeline ends after 0.4 s)."""
    text = read(os.path.join(TESTDEMO, "demo.xml")).decode()
    return re.sub(r'(length|space_before)="(\d+)"', lambda m: '%s="%d"' % (m.group(1), int(m.group(2)) // 10), text)


def assets():
    """The test demo's models and images by entry name, in the test demo's order."""
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        make_assets.main(tmp)
        names = ["quad.mdl", "cube.mdl", "target.png", "quarter.png", "atlas.png", "checker.png",
                 "sky_px.png", "sky_nx.png", "sky_py.png", "sky_ny.png", "sky_pz.png", "sky_nz.png"]
        return [(name, read(os.path.join(tmp, name))) for name in names]


def package(entries):
    """A package file holding (name, bytes) entries in order."""
    data_start = 3 + 40 * len(entries) + 32
    index, data = b"", b""
    for name, blob in entries:
        first = data_start + len(data)
        index += name.encode().ljust(32, b"\0") + struct.pack(">II", first, first + len(blob) - 1)
        data += blob
    return b"DP\x01" + index + b"\0" * 32 + data


def pack(text):
    return bvassets.pack(text.encode() if isinstance(text, str) else text)


def demo_package(document=None, replace=None, extra=()):
    """The short test demo; `replace` maps entry names to other bytes, `extra` adds entries."""
    entries = [("demo.xmlz", pack(document if document is not None else short_demo()))]
    entries += [(name, (replace or {}).get(name, blob)) for name, blob in assets()]
    return package(entries + list(extra))


def edit(pattern, replacement, count=1):
    """The short demo with a regular expression replaced."""
    return re.sub(pattern, replacement, short_demo(), count=count)


def empty_sections(n):
    return "<demo>" + "".join("<s%d/>" % i for i in range(n)) + "</demo>"


def model_header(n, sets):
    return struct.pack("<HBB", n, sets, 0)


def cut_in(data, name, fraction):
    """The package cut inside the data of entry `name`."""
    i = 0
    while data[3 + 40 * i] != 0:
        entry = data[3 + 40 * i: 3 + 40 * i + 40]
        if entry[:32].rstrip(b"\0").decode() == name:
            first, last = struct.unpack(">II", entry[32:])
            return data[:first + int((last + 1 - first) * fraction)]
        i += 1
    raise KeyError(name)


def nested(depth):
    return ("<demo>" + "<s/>" * 12 + "<objects><object>" + "<n>" * depth + "</n>" * depth + "</object></objects>"
            + "<s/><s/></demo>")


def ten_byte_liar():
    """A packed entry of ten bytes whose length word says 256 MiB."""
    return struct.pack("<I", 256 << 20) + b"\x78\xda\x03\x00\x00\x00"


def gif():
    """A 1 x 1 GIF, written out by hand."""
    return (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
            b"\x00\x02\x02D\x01\x00;")


def png_header_only(width, height):
    """A PNG whose IHDR names the given size and whose pixel data is one empty block."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"")) + chunk(b"IEND", b""))


def photo_jpeg():
    """A photo-like JPEG (ImageMagick's plasma fractal), 160 x 120."""
    import subprocess
    return subprocess.run(["convert", "-seed", "11", "-size", "160x120", "plasma:fractal", "-quality", "92", "jpg:-"],
                          check=True, stdout=subprocess.PIPE).stdout


def cut_photo(fraction):
    whole = photo_jpeg()
    return whole[:int(len(whole) * fraction)]


def cut_entry(name, fraction):
    """The test demo's entry `name` with only its first `fraction` of bytes (the package intact)."""
    whole = dict(assets())[name]
    return whole[:int(len(whole) * fraction)]


def cut_short(what, name, decoder_words):
    return b"Warning: %s %s is cut short (%s); its missing part is filled in.\r\n" % (what, name, decoder_words)


MISSING = b"Error: demo.xmlz is missing from the package.\r\n"
DAMAGED = b"Error: demo.xmlz is damaged and cannot be inflated.\r\n"
SAME = "same"  # the render tool's standard error holds the player's log line as well
R_MISSING = b"render: demo.xmlz is missing"
R_DAMAGED = b"render: demo.xmlz is damaged"


def cases():
    """(name, files {name: bytes}, player exit status, log line, bvtool render exit status, what the
    render tool's standard error holds: SAME, its own line, or None). Files are made on demand."""
    return [
        ("truncated_in_index", lambda: {"t.dpk": demo_package()[:3 + 40 * 5 + 7]}, 1, MISSING, 2, R_MISSING),
        ("truncated_in_document", lambda: {"t.dpk": cut_in(demo_package(), "demo.xmlz", 0.5)}, 1, MISSING, 2, R_MISSING),
        ("truncated_in_images", lambda: {"t.dpk": cut_in(demo_package(), "checker.png", 0.5)}, 0,
         b"Error: bitmap checker.png is missing or cannot be decoded.\r\n", 0, SAME),
        ("header_only", lambda: {"t.dpk": b"DP\x01"}, 1, MISSING, 2, R_MISSING),
        ("document_length_word_too_large",
         lambda: {"t.dpk": package([("demo.xmlz", struct.pack("<I", len(short_demo()) + 1) + pack(short_demo())[4:])])},
         1, DAMAGED, 2, R_DAMAGED),
        ("document_length_word_too_small",
         lambda: {"t.dpk": package([("demo.xmlz", struct.pack("<I", 10) + pack(short_demo())[4:])])}, 1, DAMAGED, 2, R_DAMAGED),
        ("ten_bytes_claiming_256_mib", lambda: {"t.dpk": package([("demo.xmlz", ten_byte_liar())])}, 1, DAMAGED, 2, R_DAMAGED),
        ("empty_document_entry", lambda: {"t.dpk": package([("demo.xmlz", b"")])}, 1, DAMAGED, 2, R_DAMAGED),
        ("corrupt_zlib_stream",
         lambda: {"t.dpk": package([("demo.xmlz", pack(short_demo())[:40] + b"\xff" * 20 + pack(short_demo())[60:])])},
         1, DAMAGED, 2, R_DAMAGED),
        ("garbage_document", lambda: {"t.dpk": package([("demo.xmlz", pack(bytes(range(256)) * 8))])}, 1,
         b"Error: demo.xmlz has 0 sections, 14 are needed.\r\n", 2, SAME),
        ("three_sections", lambda: {"t.dpk": package([("demo.xmlz", pack(empty_sections(3)))])}, 1,
         b"Error: demo.xmlz has 3 sections, 14 are needed.\r\n", 2, SAME),
        ("too_many_texture_layers",
         lambda: {"t.dpk": package([("demo.xmlz", pack("<demo><l>" + '<layer type="0"/>' * 300 + "</l>"
                                                        + "<s/>" * 14 + "</demo>"))])},
         1, b"Error: demo.xmlz has 300 texture layers, at most 248 are allowed.\r\n", 2, SAME),
        ("index_beyond_the_entry_limit",
         lambda: {"t.dpk": package([("pad%d" % i, b"") for i in range(16384)] + [("demo.xmlz", pack(short_demo()))])},
         1, MISSING, 2, R_MISSING),
        ("deep_nesting", lambda: {"t.dpk": package([("demo.xmlz", pack(nested(200000)))])}, 0, b"Bye!\r\n", 0, SAME),
        ("model_shorter_than_its_vertex_count",
         lambda: {"t.dpk": demo_package(replace={"quad.mdl": pack(model_header(65535, 1) + b"\0" * 100)})}, 0,
         b"Error: model quad.mdl is shorter than its 65535 vertices need.\r\n", 0, SAME),
        ("model_with_four_texture_sets",
         lambda: {"t.dpk": demo_package(replace={"cube.mdl": pack(model_header(3, 4) + b"\0" * 400)})}, 0,
         b"Error: model cube.mdl has a bad header.\r\n", 0, SAME),
        ("model_length_word_wrong",
         lambda: {"t.dpk": demo_package(replace={"quad.mdl": struct.pack("<I", 7) + pack(bvassets.quad())[4:]})}, 0,
         b"Error: model quad.mdl is damaged.\r\n", 0, SAME),
        ("model_indices_past_its_vertices",
         lambda: {"t.dpk": demo_package(replace={"quad.mdl": pack(bvassets.quad()[:-12] + struct.pack("<6H", 0, 1, 9,
                                                                                                      0, 2, 3))})},
         0, b"Error: model quad.mdl: 1 triangles name vertices it does not have; they are dropped.\r\n", 0, SAME),
        ("bitmap_that_is_a_gif", lambda: {"t.dpk": demo_package(replace={"checker.png": gif()})}, 0,
         b"Error: bitmap checker.png is not a PNG or JPEG image.\r\n", 0, SAME),
        ("bitmap_header_of_a_huge_image",
         lambda: {"t.dpk": demo_package(replace={"checker.png": png_header_only(100000, 100000)})}, 0,
         b"Error: bitmap checker.png is larger than 8192 pixels a side or 16 megapixels.\r\n", 0, SAME),
        ("jpeg_bitmap_cut_short",
         lambda: {"t.dpk": demo_package(replace={"checker.png": cut_photo(0.45)})}, 0,
         cut_short(b"bitmap", b"checker.png", b"Premature end of JPEG file"), 0, SAME),
        ("png_bitmap_cut_short", lambda: {"t.dpk": demo_package(replace={"checker.png": cut_entry("checker.png", 0.6)})},
         0, cut_short(b"bitmap", b"checker.png", b"Premature end of PNG file"), 0, SAME),
        ("mip_level_cut_short",
         lambda: {"t.dpk": demo_package(extra=[("checker_mm1.png", bvassets.png(32, 32, lambda x, y: (x * 8, y * 8, 9))[:150])])},
         0, cut_short(b"mip level", b"checker_mm1.png", b"Premature end of PNG file"), 0, SAME),
        ("cube_face_cut_short", lambda: {"t.dpk": demo_package(replace={"sky_pz.png": cut_entry("sky_pz.png", 0.6)})},
         0, cut_short(b"cube map face", b"sky_pz.png", b"Premature end of PNG file"), 0, SAME),
        ("cube_face_of_another_size",
         lambda: {"t.dpk": demo_package(replace={"sky_nz.png": bvassets.solid_png(32, 32, (1, 2, 3))})}, 0,
         b"Error: the faces of cube map 1 differ in size; it stays empty.\r\n", 0, SAME),
        ("references_to_missing_records",
         lambda: {"t.dpk": demo_package(edit(r'<slot type="1" id="1"/>', '<slot type="1" id="999"/>')
                                        .replace('object="1"', 'object="4000"', 1)
                                        .replace('material="1"', 'material="77"', 1)
                                        .replace('<layer id="1"', '<layer id="3999"', 1)
                                        .replace('type="dynamic" value="1"', 'type="dynamic" value="65000"')
                                        .replace('<texture1 value="1"', '<texture1 value="999"', 1))},
         0, b"Bye!\r\n", 0, SAME),
        ("texture_graph_cycle",
         lambda: {"t.dpk": demo_package(edit(r'<i>1</i><input>2</input>', '<i>4</i><input>2</input>'))}, 0,
         b"Bye!\r\n", 0, SAME),
        ("negative_and_huge_numbers",
         lambda: {"t.dpk": demo_package(re.sub(r'(texture_format|texture_filter|type|id|rtex|clearcolor|length)="\d+"',
                                               lambda m: '%s="-1"' % m.group(1), short_demo(), count=40)
                                        .replace('<a>1.2</a>', '<a>1e40</a>').replace('<b>0</b>', '<b>-1e40</b>'))},
         0, b"Bye!\r\n", 0, SAME),
        ("nan_and_infinite_values",
         lambda: {"t.dpk": demo_package(short_demo().replace('value="0.9"', 'value="nan"')
                                        .replace('value="1"', 'value="inf"').replace('value="0.2"', 'value="-inf"')
                                        .replace('<a>1.2</a>', '<a>nan</a>').replace('<p>3</p>', '<p>nan</p>'))},
         0, b"Bye!\r\n", 0, SAME),
        ("missing_music",
         lambda: {"t.dpk": demo_package(short_demo().replace("<music/>", '<music file="nothere.ogg" offset="0"/>'))},
         0, b"Error: cannot open nothere.ogg!\r\n", 0, SAME),
        ("music_outside_the_working_folder",
         lambda: {"t.dpk": demo_package(short_demo().replace("<music/>", '<music file="../music.ogg" offset="0"/>'))},
         0, b"Error: cannot open ../music.ogg!\r\n", 0, SAME),
        ("music_that_is_not_ogg",
         lambda: {"t.dpk": demo_package(short_demo().replace("<music/>", '<music file="fake.ogg" offset="0"/>')),
                  "fake.ogg": b"RIFF....WAVEfmt " + b"\0" * 200},
         0, b"Error: fake.ogg is not an Ogg Vorbis file I can decode; the demo plays without music.\r\n", 0, SAME),
        ("music_with_an_ogg_header_only",
         lambda: {"t.dpk": demo_package(short_demo().replace("<music/>", '<music file="cut.ogg" offset="0"/>')),
                  "cut.ogg": b"OggS" + bytes(range(256)) * 4},
         0, b"Error: cut.ogg is not an Ogg Vorbis file I can decode; the demo plays without music.\r\n", 0, SAME),
    ]


def documents():
    """The scene documents of the corpus (for the fuzz seeds): every case whose package holds an
    inflatable demo.xmlz."""
    out = {}
    for name, files, *_ in cases():
        data = files().get("t.dpk", b"")
        try:
            first, last = struct.unpack(">II", data[3 + 32:3 + 40])
            blob = data[first:last + 1]
            text = zlib.decompress(blob[4:])
        except Exception:  # noqa: BLE001  (damaged on purpose)
            continue
        if len(text) < 1 << 20:
            out[name + ".xml"] = text
    return out


def main(out):
    for name, files, *_ in cases():
        folder = os.path.join(out, name)
        os.makedirs(folder, exist_ok=True)
        for file_name, data in files().items():
            with open(os.path.join(folder, file_name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
