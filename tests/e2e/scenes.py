"""Builders for small scene documents written inline in the end-to-end tests."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import bvassets  # noqa: E402,F401  (re-exported for the tests)

SECTIONS = ["texture_layers", "procedural_textures", "models", "functions", "lights", "effects2d", "bitmaps",
            "cubemaps", "fonts", "texture_slots", "materials", "mesh_effects", "objects", "timeline", "music"]


def value(kind, v):
    return '<v type="%s" value="%s"/>' % (kind, v)


def static(v):
    return value("static", v)


def document(**sections):
    """A whole scene document; keyword arguments name sections (their inner XML)."""
    out = ["<demo>"]
    for name in SECTIONS:
        out.append("<%s>%s</%s>" % (name, sections.get(name, ""), name))
    out.append("</demo>")
    return "\n".join(out)


def light(diffuse, ambient=(0, 0, 0), position=(0, 0, 0)):
    return "<light>%s</light>" % "".join(static(v) for v in list(ambient) + list(diffuse) + list(position))


def function_linear(a, b, length=100000):
    return ('<function type="0" loop_type="0" loop_begin="0" loop_end="0">'
            '<segment type="1" length="%d"><a>%s</a><b>%s</b></segment></function>' % (length, a, b))


def material(colour=(1, 1, 1, 1), textures=(), light1=0, blend=2, depth=0, culling=0, extra=""):
    """textures: list of (slot, cgenmode, function) for texture1, texture2, ..."""
    names = ["red", "green", "blue", "alpha"]
    out = "<material>"
    out += '<backface_culling value="%d"/><depth_test value="%d"/><blend_function value="%d"/>' % (culling, depth, blend)
    out += "".join('<%s type="static" value="%s"/>' % (n, c) for n, c in zip(names, colour))
    if light1:
        out += '<light1 value="%d"/>' % light1
    for i, (slot, cgen, func) in enumerate(textures):
        out += ('<texture%d value="%d" wrapmode="1" cgenmode="%d" rotation="0" function="%d"/>'
                % (i + 1, slot, cgen, func))
    return out + extra + "</material>"


def function_constant(a):
    return ('<function type="0" loop_type="0" loop_begin="0" loop_end="0">'
            '<segment type="0" length="100000"><a>%s</a></segment></function>' % a)


def manipulator(kind, params, target=None):
    """params: floats, or ("dynamic", function index); target: (target kind, index) or None."""
    out = '<manipulator type="%d" model="%d"/>' % target if target else ""
    for p in params:
        out += value("dynamic", p[1]) if isinstance(p, tuple) else static(p)
    return '<m type="%d">%s</m>' % (kind, out)


def item(model, mat, pos=(0, 0, 0), rot=(0, 0, 0), scale=(1, 1, 1), visibility=0, time_offset=0, face=0,
         dynamic=None, kind=0, manipulators=(), font=0, text=None):
    """dynamic: {placement index 0..8: function index}; kind 0 model, 1 mesh effect, 2 text (with
    font and text); manipulators: elements made by manipulator()."""
    dynamic = dynamic or {}
    values = list(pos) + list(rot) + list(scale)
    children = "".join(value("dynamic", dynamic[i]) if i in dynamic else static(values[i]) for i in range(9))
    children += '<visibility value="%d"/><time_offset value="%s"/><face_camera value="%d"/>' % (
        visibility, time_offset, face)
    children += "".join(manipulators)
    extra = ' font="%d" text="%s"' % (font, text) if text is not None else ""
    return '<item type="%d" object="%d" material="%d"%s>%s</item>' % (kind, model, mat, extra, children)


def font(glyphs):
    """glyphs: {glyph number: (model, material, bitmap, offset, width)}; the rest are empty."""
    out = ""
    for g in range(87):
        model, mat, bitmap, offset, width = glyphs.get(g, (0, 0, 0, 0, 0))
        out += '<g model="%d" material="%d" bitmap="%d" offset="%s" width="%s"/>' % (model, mat, bitmap, offset, width)
    return "<font>%s</font>" % out


def mesh_effect(kind, *functions):
    return '<effect type="%d">%s</effect>' % (kind, "".join("<p>%d</p>" % f for f in functions))


def obj(*items):
    return "<object>%s</object>" % "".join(items)


def layer(object_id, length, mode=0, rtex=0, clearcolor=0, clear_colour=1, clear_depth=1, camera=(0, 0, 3),
          rotation=(0, 0, 0), projection=("static", 60), far=100, aspect=1.7777778, space_before=0, offset=0):
    children = "".join(static(v) for v in list(camera) + list(rotation))
    children += value(*projection) + static(far) + static(aspect)
    return ('<layer id="%d" space_before="%d" length="%d" offset="%d" type="%d" rtex="%d" clearcolor="%d" '
            'clearcolorbuffer="%d" clearzbuffer="%d">%s</layer>'
            % (object_id, space_before, length, offset, mode, rtex, clearcolor, clear_colour, clear_depth, children))


ORTHO = ("ortographic", 0)


def slots(*layer_lists):
    return "".join("<slot>%s</slot>" % "".join(layers) for layers in layer_lists)


def rgb_pixels(path):
    """(width, height, bytes) of an image, decoded by ImageMagick."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, stdout=subprocess.PIPE).stdout
    width, height = (int(v) for v in size.split())
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, stdout=subprocess.PIPE).stdout
    return width, height, raw


def pixel(image, x, y):
    width, _, raw = image
    i = (y * width + x) * 3
    return tuple(raw[i:i + 3])


def quad_scene(length, music=""):
    """A demo that draws one grey quad in slot 0 for `length` hundredths; music is the inner part of
    the music element's tag (its attributes). Returns (document, package entries)."""
    doc = document(models='<model filename="quad.mdl"/>', lights=light((0.1, 0.1, 0.2)),
                   materials=material((0.6, 0.6, 0.6, 1)), objects=obj(item(1, 1)),
                   timeline=slots([layer(1, length, clearcolor=1)]))
    if music:
        doc = doc.replace("<music></music>", "<music %s/>" % music)
    return doc, [("quad.mdl", bvassets.pack(bvassets.quad()))]
