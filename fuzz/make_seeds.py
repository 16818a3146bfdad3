"""Writes the seed corpora of the fuzz targets, one folder per target, from the test demo, the
e2e scene builders, the malformed corpus (tests/data/malformed) and a few files made by oggenc and
ImageMagick:

    make_seeds.py OUTPUT_FOLDER
"""

import os
import struct
import subprocess
import sys
import tempfile
import wave
import math  # noqa: I001
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..")
sys.path.insert(0, os.path.join(ROOT, "scripts"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "data", "malformed"))
import bvassets  # noqa: E402
import make_malformed  # noqa: E402
import scenes  # noqa: E402

TESTDEMO = os.path.join(ROOT, "tests", "data", "testdemo")


package = make_malformed.package
read = make_malformed.read


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def section(document, tag):
    """The text of the first element named tag, wrapped in a top element."""
    start = document.index("<%s>" % tag)
    end = document.index("</%s>" % tag) + len(tag) + 3
    return "<top>" + document[start:end] + "</top>"


def package_entries(data):
    """(name, bytes) of every well-formed entry of a package file."""
    out = []
    for i in range(4096):
        entry = data[3 + 40 * i:3 + 40 * i + 40]
        if len(entry) < 40 or entry[0] == 0:
            break
        first, last = struct.unpack(">II", entry[32:])
        out.append((entry[:32].rstrip(b"\0").decode(errors="replace"), data[first:last + 1]))
    return out


def sample_demo():
    """The sample demo's package and documents, once the build has made it (build/sample/)."""
    path = os.path.join(ROOT, "build", "sample", "sample.dpk")
    if not os.path.exists(path):
        return None, {}
    data = read(path)
    documents = {}
    for name, blob in package_entries(data):
        if name.endswith(".xmlz"):
            try:
                documents["sample_" + name[:-1]] = zlib.decompress(blob[4:])
            except zlib.error:
                pass
    return data, documents


def scene_documents():
    demo = read(os.path.join(TESTDEMO, "demo.xml")).decode()
    loading = read(os.path.join(TESTDEMO, "loading.xml")).decode()
    quad, _ = scenes.quad_scene(150, 'file="tone.ogg" offset="0"')
    textured = scenes.document(
        models='<model filename="cube.mdl"/>', lights=scenes.light((0.5, 0.5, 0.5)),
        bitmaps='<bitmap filename="checker.png" texture_format="1" texture_filter="2"/>',
        cubemaps='<cubemap xp="sky_px.png" xn="sky_nx.png" yp="sky_py.png" yn="sky_ny.png" zp="sky_pz.png" '
                 'zn="grey.jpg" texture_format="0" texture_filter="1"/>',
        functions=scenes.function_linear(1.5, 0),
        texture_slots='<slot type="2" id="1"/><slot type="3" id="1"/>',
        materials=scenes.material(textures=[(1, 0, 1), (2, 3, 0)], light1=1),
        objects=scenes.obj(scenes.item(1, 1, dynamic={4: 1})),
        timeline=scenes.slots([scenes.layer(1, 300, clearcolor=1), scenes.layer(1, 200, mode=3, rtex=1)]))
    return {"demo.xml": demo, "loading.xml": loading, "quad.xml": quad, "textured.xml": textured}


def tone(folder, name, rate, channels, seconds):
    wav = os.path.join(folder, name + ".wav")
    with wave.open(wav, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        frames = int(rate * seconds)
        w.writeframes(b"".join(struct.pack("<" + "h" * channels,
                                           *[int(8000 * math.sin(2 * math.pi * 440 * (c + 1) * i / rate))
                                             for c in range(channels)]) for i in range(frames)))
    out = os.path.join(folder, name)
    subprocess.run(["oggenc", "-Q", "-q", "0", wav, "-o", out], check=True)
    os.remove(wav)
    return read(out)


def magick(folder, arguments, name):
    path = os.path.join(folder, name)
    subprocess.run(["convert"] + arguments + [path], check=True)
    return read(path)


def main(out):
    documents = scene_documents()
    broken = make_malformed.documents()
    sample, sample_documents = sample_demo()
    broken.update(sample_documents)
    quad = bvassets.quad()
    cube = bvassets.cube()
    with tempfile.TemporaryDirectory() as tmp:
        images = {
            "rgb.png": bvassets.png(16, 8, lambda x, y: (x * 16, y * 32, 7)),
            "rgba.png": magick(tmp, ["-size", "8x8", "xc:#ff000080", "-define", "png:color-type=6"], "rgba.png"),
            "grey.png": magick(tmp, ["-size", "8x4", "gradient:", "-colorspace", "Gray"], "grey.png"),
            "adam7.png": magick(tmp, ["-size", "9x7", "xc:blue", "-interlace", "PNG"], "adam7.png"),
            "rgb.jpg": magick(tmp, ["-size", "16x16", "plasma:", "-quality", "50"], "rgb.jpg"),
            "grey.jpg": magick(tmp, ["-size", "8x8", "xc:gray50", "-colorspace", "Gray"], "grey.jpg"),
            "progressive.jpg": magick(tmp, ["-size", "16x8", "gradient:", "-interlace", "JPEG"], "progressive.jpg"),
        }
        music = {
            "stereo44100.ogg": tone(tmp, "a.ogg", 44100, 2, 0.3),
            "stereo48000.ogg": tone(tmp, "b.ogg", 48000, 2, 0.3),
            "mono22050.ogg": tone(tmp, "c.ogg", 22050, 1, 0.3),
        }

    testdemo = package([("demo.xmlz", bvassets.pack(documents["demo.xml"].encode())),
                        ("loading.xmlz", bvassets.pack(documents["loading.xml"].encode())),
                        ("quad.mdl", bvassets.pack(quad)), ("cube.mdl", bvassets.pack(cube)),
                        ("checker.png", images["rgb.png"])])
    write(os.path.join(out, "package"), "testdemo.dpk", testdemo)
    if sample is not None and len(sample) < 1 << 20:
        write(os.path.join(out, "package"), "sample.dpk", sample)
    write(os.path.join(out, "package"), "empty.dpk", package([]))
    write(os.path.join(out, "package"), "a_ab.dpk", package([("a", b"1"), ("ab", b"22"), ("a", b"dup"), ("z", b"")]))
    for name, files, *_ in make_malformed.cases()[:5]:
        write(os.path.join(out, "package"), name + ".dpk", files()["t.dpk"])

    for name, text in list(documents.items())[:2]:
        write(os.path.join(out, "packed"), name + "z", bvassets.pack(text.encode()))
    write(os.path.join(out, "packed"), "cube.mdl", bvassets.pack(cube))
    write(os.path.join(out, "packed"), "empty", bvassets.pack(b""))

    for name, text in documents.items():
        write(os.path.join(out, "xml"), name, text)
        write(os.path.join(out, "scene"), name, text)
    for name, text in broken.items():
        write(os.path.join(out, "scene"), name, text)
    write(os.path.join(out, "xml"), "odd.xml", '<?xml?><!-- c --><a b="1" c d=>x<!--y-->z</a><e/>')

    # The language service: a document, a zero byte, then steps of 8 bytes (an edit, a request, an
    # action, a message that is not JSON) spread over its lines.
    steps = bytes(b for k in range(24) for b in (k % 12, k * 5 % 64, 0, 0, (k * 13) % 160, k % 4, (k * 7) % 160, k % 9))
    for name, text in documents.items():
        write(os.path.join(out, "lsp"), name, text.encode()[:8192] + b"\0" + steps)
    for path in sorted(os.listdir(os.path.join(ROOT, "tests", "data", "check")))[:12]:
        with open(os.path.join(ROOT, "tests", "data", "check", path), "rb") as f:
            write(os.path.join(out, "lsp"), path, f.read()[:8192] + b"\0" + steps)

    write(os.path.join(out, "model"), "quad", quad)
    write(os.path.join(out, "model"), "cube", cube)
    write(os.path.join(out, "model"), "three_sets",
          bvassets.model([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [[(0, 0)] * 3] * 3, [(0, 0, 1)] * 3, [0, 1, 2, 2, 1]))

    demo = documents["demo.xml"]
    write(os.path.join(out, "function"), "testdemo", section(demo, "functions"))
    write(os.path.join(out, "function"), "kinds", "<f>" + "".join(
        '<function type="0" loop_type="%d" loop_begin="%s" loop_end="%s"><s type="%d" length="50">%s</s>'
        '<s type="%d" length="30">%s</s></function>' % (
            mode, begin, end, kind, "".join("<p>%d</p>" % (k * 7 % 11) for k in range(24)), (kind + 1) % 6,
            "<p>2</p><p>-1</p>") for mode, begin, end in [(0, 0, 0), (1, 10, 60), (2, 0, 70)] for kind in range(6))
        + '<v type="static" value="2.5"/><v type="dynamic" value="1"/></f>')

    for name, data in images.items():
        write(os.path.join(out, "image"), name, data)
    write(os.path.join(out, "image"), "bitmap_levels_faces",
          b"--BV--".join([images["rgb.png"], bvassets.png(8, 4, lambda x, y: (1, 2, 3)),
                          bvassets.png(4, 2, lambda x, y: (4, 5, 6))] + [images["rgb.jpg"]] * 5 + [images["grey.jpg"]]))

    for name, data in music.items():
        write(os.path.join(out, "music"), name, data)


if __name__ == "__main__":
    main(sys.argv[1])
