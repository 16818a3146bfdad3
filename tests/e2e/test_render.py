"""Frames captured with bvtool render under Xvfb: where things land on screen, in both render paths;
the axes, rotations and camera as docs/format.md states them; and the units --time takes."""

import unittest

from harness import BVTOOL, TESTDEMO, WorkDir, make_package, pack_text, run, with_display
from scenes import (ORTHO, bvassets, document, item, layer, light, material, obj, pixel, rgb_pixels, slots)

RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
YELLOW, CYAN, MAGENTA, BLACK = (255, 255, 0), (0, 255, 255), (255, 0, 255), (0, 0, 0)
PATHS = [("glsl", []), ("combiners", ["--combiners"])]


def render(work, doc, time=0, size="320x180", entries=(), flags=()):
    """Packs the document (and entries) and captures one frame; returns the decoded image."""
    make_package(work.path, "t.dpk", [("demo.xmlz", pack_text(doc))] + list(entries))
    out = work.file("frame.png")
    r = run(with_display([BVTOOL, "render", work.file("t.dpk"), "--time", str(time), "--size", size,
                          "--out", out] + list(flags)))
    if r.returncode != 0:
        raise AssertionError("bvtool render failed: " + r.stderr.decode())
    return rgb_pixels(out)


def quad_models():
    """Model 1: the unit square 0..1 (for orthographic layers); model 2: a centred unit quad."""
    return ("<model filename=\"square.mdl\"/><model filename=\"quad.mdl\"/>",
            [("square.mdl", bvassets.pack(bvassets.quad(0, 0, 1, 1))), ("quad.mdl", bvassets.pack(bvassets.quad()))])


class ClearAndLetterbox(unittest.TestCase):
    def test_clear_colour_from_a_light_inside_the_fitted_viewport(self):
        doc = document(lights=light((0.2, 0.6, 1.0)), timeline=slots([layer(0, 100, clearcolor=1)]))
        for path, flags in PATHS:
            with WorkDir() as work:
                # A square window: the 16:9 picture is 200 x 112 at y 44, bars above and below.
                image = render(work, doc, size="200x200", flags=flags)
                self.assertEqual(pixel(image, 100, 100), (51, 153, 255), path)
                self.assertEqual(pixel(image, 100, 44), (51, 153, 255), path)
                self.assertEqual(pixel(image, 100, 43), BLACK, path)
                self.assertEqual(pixel(image, 100, 155), (51, 153, 255), path)
                self.assertEqual(pixel(image, 100, 156), BLACK, path)
            with WorkDir() as work:
                # A wide window: 177 x 100 at x 111, bars left and right.
                image = render(work, doc, size="400x100", flags=flags)
                self.assertEqual(pixel(image, 111, 50), (51, 153, 255), path)
                self.assertEqual(pixel(image, 110, 50), BLACK, path)
                self.assertEqual(pixel(image, 287, 50), (51, 153, 255), path)
                self.assertEqual(pixel(image, 288, 50), BLACK, path)


class FlatQuad(unittest.TestCase):
    def scene(self, layer_xml, model):
        models, entries = quad_models()
        doc = document(models=models, lights=light((0, 1, 0)), materials=material((1, 0, 0, 1)),
                       objects=obj(item(model, 1)), timeline=slots([layer_xml]))
        return doc, entries

    def test_orthographic_layer_runs_y_downwards(self):
        models, entries = quad_models()
        doc = document(models=models, lights=light((0, 1, 0)), materials=material((1, 0, 0, 1)),
                       objects=obj(item(1, 1, pos=(0.25, 0.125, 0), scale=(0.5, 0.25, 1))),
                       timeline=slots([layer(1, 100, clearcolor=1, projection=ORTHO, camera=(0, 0, 0))]))
        for path, flags in PATHS:
            with WorkDir() as work:
                image = render(work, doc, entries=entries, flags=flags)
                # x 0.25..0.75 of 320 is 80..239; y 0.125..0.375 of 180 (from the top) is 22.5..67.5.
                for x, y, colour in [(80, 30, RED), (239, 60, RED), (79, 30, GREEN), (240, 30, GREEN),
                                     (160, 24, RED), (160, 66, RED), (160, 21, GREEN), (160, 69, GREEN),
                                     (160, 120, GREEN)]:
                    self.assertEqual(pixel(image, x, y), colour, "%s at %d, %d" % (path, x, y))

    def test_perspective_camera_places_the_quad(self):
        # A unit quad at the origin seen from z = 0.5 / tan(30 degrees) with a 60 degree field of view
        # fills the picture's height exactly; it is 0.5625 of its width, 70..250 of 320.
        distance = 0.5 / 0.5773502691896258
        for shift, left in [(0.0, 70), (0.3, 70 - 54)]:
            doc, entries = self.scene(layer(1, 100, clearcolor=1, camera=(shift, 0, distance)), 2)
            for path, flags in PATHS:
                with WorkDir() as work:
                    image = render(work, doc, entries=entries, flags=flags)
                    self.assertEqual(pixel(image, left + 2, 90), RED, path)
                    self.assertEqual(pixel(image, left - 2, 90), GREEN, path)
                    self.assertEqual(pixel(image, left + 178, 90), RED, path)
                    self.assertEqual(pixel(image, left + 182, 90), GREEN, path)
                    self.assertEqual(pixel(image, left + 90, 2), RED, path)
                    self.assertEqual(pixel(image, left + 90, 177), RED, path)


class RenderTargets(unittest.TestCase):
    def test_texture_rendered_by_one_layer_is_shown_by_a_later_one(self):
        models, entries = quad_models()
        entries.append(("target.png", bvassets.solid_png(128, 128, (9, 9, 9))))
        doc = document(
            models=models, lights=light((0, 1, 0)), bitmaps='<bitmap filename="target.png" texture_filter="1"/>',
            texture_slots='<slot type="1" id="1"/>',
            materials=material((1, 0, 0, 1)) + material((1, 1, 1, 1), textures=[(1, 0, 2)]),
            objects=obj(item(1, 1, pos=(0.25, 0.25, 0), scale=(0.5, 0.5, 1))) + obj(item(1, 2)),
            timeline=slots([layer(1, 100, mode=1, rtex=1, clearcolor=1, projection=ORTHO, camera=(0, 0, 0))],
                           [layer(2, 100, projection=ORTHO, camera=(0, 0, 0), clear_colour=0)]))
        for path, flags in PATHS:
            for fbo in [[], ["--no-fbo"]]:
                with WorkDir() as work:
                    image = render(work, doc, entries=entries, flags=flags + fbo)
                    what = "%s %s" % (path, fbo)
                    for x, y, colour in [(160, 90, RED), (85, 50, RED), (234, 130, RED), (10, 10, GREEN),
                                         (300, 170, GREEN), (75, 90, GREEN), (160, 40, GREEN)]:
                        self.assertEqual(pixel(image, x, y), colour, "%s at %d, %d" % (what, x, y))


# Six quads around the origin, one per direction, each its own colour.
DIRECTIONS = [((2.5, 0, 0), (0, 90, 0), RED), ((-2.5, 0, 0), (0, 90, 0), GREEN), ((0, 2.5, 0), (90, 0, 0), BLUE),
              ((0, -2.5, 0), (90, 0, 0), YELLOW), ((0, 0, 2.5), (0, 0, 0), CYAN), ((0, 0, -2.5), (0, 0, 0), MAGENTA)]


def surroundings():
    mats = "".join(material(tuple(c / 255 for c in colour) + (1,)) for _, _, colour in DIRECTIONS)
    items = "".join(item(2, i + 1, pos=pos, rot=rot, scale=(4, 4, 1)) for i, (pos, rot, _) in enumerate(DIRECTIONS))
    return mats, obj(items)


CUBE_VIEWER_VS = ("attribute vec4 Position; uniform mat4 Projection; uniform mat4 Modelview; varying vec2 p;\n"
                  "void main(void) { p = Position.xy; gl_Position = Projection * Modelview * Position; }")
# Six vertical strips sample the centres of the faces +X, -X, +Y, -Y, +Z, -Z.
CUBE_VIEWER_FS = ("uniform samplerCube Texture0; varying vec2 p;\nvoid main(void) {\n"
                  " vec3 d = vec3(1.0, 0.0, 0.0);\n"
                  " if (p.x &gt; 1.0 / 6.0) d = vec3(-1.0, 0.0, 0.0);\n"
                  " if (p.x &gt; 2.0 / 6.0) d = vec3(0.0, 1.0, 0.0);\n"
                  " if (p.x &gt; 3.0 / 6.0) d = vec3(0.0, -1.0, 0.0);\n"
                  " if (p.x &gt; 4.0 / 6.0) d = vec3(0.0, 0.0, 1.0);\n"
                  " if (p.x &gt; 5.0 / 6.0) d = vec3(0.0, 0.0, -1.0);\n"
                  " gl_FragColor = textureCube(Texture0, d);\n}")


class CubeAndAtlas(unittest.TestCase):
    def test_each_cube_face_sees_its_direction(self):
        models, entries = quad_models()
        entries += [("face.png", bvassets.solid_png(32, 32, (9, 9, 9)))]
        mats, around = surroundings()
        viewer = ('<material><blend_function value="2"/><enable_glsl value="1"/>'
                  '<texture1 value="1" cgenmode="2"/><vertex_shader>%s</vertex_shader>'
                  '<fragment_shader>%s</fragment_shader></material>' % (CUBE_VIEWER_VS, CUBE_VIEWER_FS))
        face = "face.png"
        doc = document(
            models=models, lights=light((0.1, 0.1, 0.1)),
            cubemaps='<cubemap xp="%s" xn="%s" yp="%s" yn="%s" zp="%s" zn="%s" texture_filter="0"/>' % ((face,) * 6),
            texture_slots='<slot type="3" id="1"/>', materials=mats + viewer,
            objects=around + obj(item(1, 7)),
            timeline=slots([layer(1, 100, mode=3, rtex=1, clearcolor=1, camera=(0, 0, 0),
                                  projection=("static", 90), aspect=1)],
                           [layer(2, 100, projection=ORTHO, camera=(0, 0, 0))]))
        for fbo in [[], ["--no-fbo"]]:
            with WorkDir() as work:
                image = render(work, doc, size="384x216", entries=entries, flags=fbo)
                for strip, (_, _, colour) in enumerate(DIRECTIONS):
                    self.assertEqual(pixel(image, 32 + 64 * strip, 108), colour, "strip %d %s" % (strip, fbo))

    def test_atlas_cells_hold_the_six_views(self):
        models, entries = quad_models()
        entries += [("atlas.png", bvassets.solid_png(384, 256, (9, 9, 9)))]
        mats, around = surroundings()
        doc = document(
            models=models, lights=light((0.1, 0.1, 0.1)), bitmaps='<bitmap filename="atlas.png" texture_filter="1"/>',
            texture_slots='<slot type="1" id="1"/>', materials=mats + material((1, 1, 1, 1), textures=[(1, 0, 2)]),
            objects=around + obj(item(1, 7)),
            timeline=slots([layer(1, 100, mode=5, rtex=1, clearcolor=1, camera=(0, 0, 0),
                                  projection=("static", 90), aspect=1)],
                           [layer(2, 100, projection=ORTHO, camera=(0, 0, 0))]))
        # Cells (column, row) from the atlas pass table: row 0 is the bottom of the texture, which the
        # y-down orthographic quad shows at the top of the screen.
        cells = {(0, 0): MAGENTA, (1, 0): CYAN, (2, 0): BLUE, (0, 1): YELLOW, (1, 1): GREEN, (2, 1): RED}
        for path, flags in PATHS:
            for fbo in [[], ["--no-fbo"]]:
                with WorkDir() as work:
                    image = render(work, doc, size="640x360", entries=entries, flags=flags + fbo)
                    for (col, row), colour in cells.items():
                        x, y = int((col + 0.5) * 640 / 3), int((row + 0.5) * 180)
                        self.assertEqual(pixel(image, x, y), colour, "%s %s cell %d, %d" % (path, fbo, col, row))


def red_pixels(image, x0, y0, x1, y1):
    """How many pixels of the box [x0, x1) x [y0, y1) are pure red."""
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if pixel(image, x, y) == RED)


# Where red shows in a 320 x 180 frame, by region: the halves and quadrants about the centre.
REGIONS = {"right": (164, 0, 320, 180), "left": (0, 0, 156, 180), "up": (0, 0, 320, 86), "down": (0, 94, 320, 180),
           "up-right": (164, 0, 320, 86), "down-right": (164, 94, 320, 180), "centre": (156, 86, 164, 94)}
SIDE = {"camera": (5, 0, -4), "rotation": (0, -90, 0)}  # looking along -x: +y up, -z to the right
ABOVE = {"camera": (0, 5, -4), "rotation": (90, 0, 0)}  # looking along -y: -z up, +x to the right
BAR = {"scale": (1.5, 0.2, 1)}  # the unit square 0..1 stretched along +x from the item's origin
MARK = {"model": 2, "scale": (0.4, 0.4, 1)}  # a square centred on its position
ORIENTATIONS = [
    # (what the reference says, red item keywords, camera keywords, regions with red, regions without)
    ("at rest x points right", dict(MARK, pos=(1, 0, -4)), {}, ["right"], ["left"]),
    ("at rest y points up", dict(MARK, pos=(0, 1, -4)), {}, ["up"], ["down"]),
    ("an item's positive z rotation turns it counterclockwise", dict(BAR, pos=(0, 0, -4), rot=(0, 0, 30)), {},
     ["up-right"], ["down-right", "left"]),
    ("an item's positive y rotation carries +x away from the viewer", dict(BAR, pos=(0, 0, -4), rot=(0, 90, 0)),
     SIDE, ["right"], ["left"]),
    ("an item's positive x rotation carries +y towards the viewer",
     {"pos": (0, 0, -4), "rot": (90, 0, 0), "scale": (0.2, 1.5, 1)}, ABOVE, ["down"], ["up"]),
    ("an item turns about z, then y, then x of the world", dict(BAR, pos=(0, 0, -4), rot=(90, 90, 0)), SIDE,
     ["up"], ["down"]),
    ("the camera position is the eye", dict(MARK, pos=(2, 0, -4)), {"camera": (2, 0, 0)}, ["centre"], []),
    ("the camera looks along (sin Y cos X, -sin X, -cos Y cos X)", dict(MARK, pos=(3.4641, -2, 0), rot=(0, -90, 0)),
     {"rotation": (30, 90, 0)}, ["centre"], []),
    ("a positive camera Z rolls the picture counterclockwise", dict(MARK, pos=(1, 0, -4)), {"rotation": (0, 0, 90)},
     ["up"], ["down"]),
    ("face camera undoes the camera's turn", dict(BAR, pos=(4, 0, 0), rot=(0, 0, 30), face=1),
     {"rotation": (0, 90, 0)}, ["up-right"], ["down-right", "left"]),
]


class Orientation(unittest.TestCase):
    def test_axes_rotations_and_camera_as_the_reference_states_them(self):
        models, entries = quad_models()
        for what, red_item, camera, seen, unseen in ORIENTATIONS:
            red_item = dict(red_item)
            doc = document(models=models, lights=light((0, 0, 0)), materials=material((1, 0, 0, 1)),
                           objects=obj(item(red_item.pop("model", 1), 1, **red_item)),
                           timeline=slots([layer(1, 100, clearcolor=1, camera=camera.get("camera", (0, 0, 0)),
                                                 rotation=camera.get("rotation", (0, 0, 0)))]))
            with WorkDir() as work:
                image = render(work, doc, entries=entries)
            for region in seen:
                self.assertGreater(red_pixels(image, *REGIONS[region]), 0, "%s: nothing %s" % (what, region))
            for region in unseen:
                self.assertEqual(red_pixels(image, *REGIONS[region]), 0, "%s: red %s" % (what, region))


class TimeOption(unittest.TestCase):
    def test_seconds_milliseconds_and_bare_numbers_draw_the_same_frame(self):
        with WorkDir() as work:
            frames = []
            for time in ("2s", "2000", "2000ms", "2.005s"):
                out = work.file("frame-%s.png" % time)
                r = run(with_display([BVTOOL, "render", TESTDEMO, "--time", time, "--size", "160x90", "--out", out]))
                self.assertEqual(r.returncode, 0, r.stderr)
                # The document time drawn, in seconds and in the hundredths a document counts in.
                self.assertIn(b"2.00 s (200)", r.stdout, time)
                frames.append(rgb_pixels(out))
            self.assertTrue(all(f == frames[0] for f in frames), "the same time gave different frames")
            r = run(with_display([BVTOOL, "render", TESTDEMO, "--time", "1.5x", "--out", work.file("x.png")]))
            self.assertEqual(r.returncode, 2)
            self.assertIn(b"--time 1.5x is not a time", r.stderr)


if __name__ == "__main__":
    unittest.main()
