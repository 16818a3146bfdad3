"""What a font holds, read with fontTools (Debian's python3-fonttools, no FreeType inside), for
the bvtool font tests; and fonts made from a font for them.

    font_reference.py metrics FONT TEXT      JSON: units per em, the cap height, and for every
                                             character of TEXT whether the font maps it, its advance,
                                             left side bearing and ink bounds (font units)
    font_reference.py subset FONT OUT TEXT   OUT: FONT with only the characters of TEXT
    font_reference.py no-unicode FONT OUT    OUT: FONT whose character maps are all dropped but a
                                             Macintosh Roman one, and its glyph names
    font_reference.py cff FONT OUT TEXT      OUT: an OpenType font with CFF outlines (cubic curves,
                                             outer contours counter-clockwise) holding the glyphs of
                                             TEXT from the TrueType FONT, with its metrics

Run it with the Python that Debian's python3-fonttools installs into (/usr/bin/python3)."""

import json
import sys

from fontTools import subset
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.reverseContourPen import ReverseContourPen
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont


def ink_bounds(glyphs, name):
    """The glyph's bounds over its contours that draw something: a contour of a lone point (DejaVu
    Sans's u has one) encloses no ink."""
    recording = DecomposingRecordingPen(glyphs)
    glyphs[name].draw(recording)
    pen = BoundsPen(glyphs)
    contour = []
    for operator, operands in recording.value:
        contour.append((operator, operands))
        if operator in ("closePath", "endPath"):
            if any(op in ("lineTo", "qCurveTo", "curveTo") for op, _ in contour):
                for op, args in contour:
                    getattr(pen, op)(*args)
            contour = []
    return pen.bounds


def metrics(path, text):
    font = TTFont(path)
    cmap = font.getBestCmap()
    glyphs = font.getGlyphSet()
    hmtx = font["hmtx"]
    # The cap height: OS/2's from version 2 of the table, else the top of H.
    cap = getattr(font["OS/2"], "sCapHeight", 0) if font["OS/2"].version >= 2 else 0
    if cap <= 0:
        cap = ink_bounds(glyphs, cmap[ord("H")])[3]
    out = {"units_per_em": font["head"].unitsPerEm, "cap_height": cap,
           "os2_version": font["OS/2"].version, "chars": {}}
    for ch in text:
        name = cmap.get(ord(ch))
        if name is None:
            out["chars"][ch] = {"present": False}
            continue
        advance, lsb = hmtx[name]
        out["chars"][ch] = {"present": True, "advance": advance, "lsb": lsb, "bounds": ink_bounds(glyphs, name)}
    json.dump(out, sys.stdout, ensure_ascii=True)


def make_subset(path, out, text):
    options = subset.Options()
    options.notdef_outline = True
    font = TTFont(path)
    sub = subset.Subsetter(options)
    sub.populate(text=text)
    sub.subset(font)
    font.save(out)


def no_unicode(path, out):
    font = TTFont(path)
    cmap = font["cmap"]
    cmap.tables = [t for t in cmap.tables if t.platformID == 1 and t.platEncID == 0]
    # Without glyph names too: FreeType would otherwise make a Unicode map from them.
    font["post"].formatType = 3.0
    font.save(out)


def make_cff(path, out, text):
    src = TTFont(path)
    cmap = src.getBestCmap()
    glyphs = src.getGlyphSet()
    hmtx = src["hmtx"]
    mapping = {ord(ch): cmap[ord(ch)] for ch in text}
    names = [".notdef"] + sorted(set(mapping.values()))
    charstrings = {}
    for name in names:
        recording = DecomposingRecordingPen(glyphs)
        glyphs[name].draw(recording)
        pen = T2CharStringPen(hmtx[name][0], None)
        # TrueType turns outer contours clockwise, CFF counter-clockwise; quadratic curves become
        # the cubic curves that trace them exactly.
        recording.replay(ReverseContourPen(pen))
        charstrings[name] = pen.getCharString()
    builder = FontBuilder(src["head"].unitsPerEm, isTTF=False)
    builder.setupGlyphOrder(names)
    builder.setupCharacterMap(mapping)
    builder.setupCFF("TestCubic", {"FullName": "Test Cubic"}, charstrings, {})
    builder.setupHorizontalMetrics({name: hmtx[name] for name in names})
    builder.setupHorizontalHeader(ascent=src["hhea"].ascent, descent=src["hhea"].descent)
    builder.setupNameTable({"familyName": "Test Cubic", "styleName": "Regular"})
    cap = ink_bounds(glyphs, cmap[ord("H")])[3]
    builder.setupOS2(version=4, sCapHeight=cap, sxHeight=0)
    builder.setupPost()
    builder.save(out)


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "metrics":
        metrics(sys.argv[2], sys.argv[3])
    elif command == "subset":
        make_subset(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command == "cff":
        make_cff(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command == "no-unicode":
        no_unicode(sys.argv[2], sys.argv[3])
    else:
        sys.exit("unknown command " + command)
