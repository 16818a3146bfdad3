"""The launcher as a user meets it: its look on screen, the choices flowing into the start-up, and
closing it."""

import os
import re
import unittest

from harness import (HEADER, SEPARATOR, CAPTION, LAUNCHER_SIZE, Launcher, PlayerRun, WorkDir, make_package,
                     make_tone_ogg, pack_text, read_log, wait_until)
from scenes import quad_scene

BACKDROP = (130, 176, 241)
PANEL = (192, 216, 247)
# Left edge and top of each frame picture per row, and the check marks' tops.
RESOLUTION_FRAME = (6, [9, 35, 66, 97, 128, 159, 191, 222, 253, 284, 315, 347], 27)
ASPECT_FRAME = (185, [8, 39, 70, 102], 27)
RENDER_PATH_FRAME = (207, [315, 346], 29)
CHECK_MARK_TOPS = [10, 40, 71, 103]  # fullscreen, antialiasing, music, VBO support
# On llvmpipe, glxinfo reports 8 texture units (the record keeps 4) and NV_texture_env_combine4.
COMBINER_CAPABILITIES = (SEPARATOR + b"VBO support detected.\r\n" + b"PBO support detected.\r\n"
                         + b"NPOT texture support detected.\r\n" + b"Texture compression support detected.\r\n"
                         + b"EXT_framebuffer_object support detected.\r\n"
                         + b"Using 4 texture units + NV_texture_env_combine4.\r\n" + SEPARATOR)


def dark(rgb):
    return max(rgb) < 60


def lit(shot, x0, y0, width, height):
    """How many pixels of a rectangle are not black."""
    return sum(1 for y in range(y0, y0 + height) for x in range(x0, x0 + width) if shot.pixel(x, y) != (0, 0, 0))


class LauncherWindow(unittest.TestCase):
    def check_screen(self, shot, resolution, aspect, render_path, switches):
        """The launcher's geometry at a few points: the backdrop, panel fill at the panels' middles,
        a frame on each selected row and on no other, and a cross in each switch that is on."""
        for x, y in [(180, 160), (450, 300), (185, 300), (2, 383)]:
            self.assertEqual(shot.pixel(x, y), BACKDROP, (x, y))
        # The middles of the resolution, aspect, switch and render-path panels and of the start
        # button, each between two rows of text.
        for x, y in [(87, 191), (222, 69), (364, 68), (320, 344), (319, 197)]:
            self.assertEqual(shot.pixel(x, y), PANEL, (x, y))
        for (left, tops, height), selected in [(RESOLUTION_FRAME, resolution), (ASPECT_FRAME, aspect),
                                               (RENDER_PATH_FRAME, render_path)]:
            for row, top in enumerate(tops):
                edge = shot.pixel(left, top + height // 2)
                if row == selected:
                    self.assertTrue(dark(edge), (left, top, edge))
                else:
                    self.assertEqual(edge, PANEL, (left, top))
        for top, on in zip(CHECK_MARK_TOPS, switches):
            middle = shot.pixel(289, top + 10)
            self.assertEqual(dark(middle), on, (top, middle))

    def test_choices_flow_into_the_start_up(self):
        with WorkDir() as work:
            make_tone_ogg(work.file("tone.ogg"))
            doc, entries = quad_scene(250, 'file="tone.ogg" offset="0"')
            make_package(work.path, "test.dpk", [("demo.xmlz", pack_text(doc))] + entries)
            device = work.file("device.raw")
            env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": device, "SDL_DISKAUDIODELAY": "186"}
            with PlayerRun(work.path, env=env, timeout=60) as run:
                window = run.wait_launcher()
                self.assertIsNotNone(window)
                x, y, _, _ = run.display.geometry(window)
                shot = run.display.screenshot(work.file("launcher.png"), x, y, *LAUNCHER_SIZE)
                self.check_screen(shot, 0, 0, 1, [True, True, True, True])

                for point in [Launcher.resolution(1), Launcher.FULLSCREEN, Launcher.MUSIC, Launcher.COMBINERS]:
                    run.choose(window, point)
                shot = run.display.screenshot(work.file("chosen.png"), x, y, *LAUNCHER_SIZE)
                self.check_screen(shot, 1, 0, 0, [False, True, False, True])

                run.start(window)
                # A 320 x 240 window at the screen's corner; fullscreen would show the picture in the
                # middle of an otherwise black screen.
                self.assertIsNotNone(run.wait_window(CAPTION, (320, 240), timeout=60))
                # The first frame drawn: lit pixels in the window.
                shots = []
                self.assertTrue(wait_until(lambda: shots.append(run.display.grab(0, 0, 1280, 1024)) or
                                           lit(shots[-1], 0, 0, 320, 240) > 0, 30))
                run.display.screenshot(work.file("playing.png"), 0, 0, 1280, 1024)
                self.assertEqual(lit(shots[-1], 480, 392, 320, 240), 0)
                r = run.finish()
            self.assertEqual(r.returncode, 0, r.stderr)
            log = read_log(work.path)
            prefix = HEADER + b"Found test.dpk.\r\n" + b"Starting the demo.\r\n" + COMBINER_CAPABILITIES
            self.assertTrue(log.startswith(prefix), log)
            # No music: no audio buffer line and no device output at all.
            self.assertIsNotNone(re.fullmatch(rb"Benchmark result: \d+\.\d\d fps\r\nBye!\r\n", log[len(prefix):]), log)
            self.assertFalse(os.path.exists(device))

    def test_closing_the_launcher(self):
        with WorkDir() as work:
            make_package(work.path, "test.dpk", [("demo.xmlz", pack_text("<demo/>"))])
            with PlayerRun(work.path, timeout=60) as run:
                window = run.wait_launcher()
                self.assertIsNotNone(window)
                run.display.close_window(window)
                r = run.finish()
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(read_log(work.path), HEADER + b"Bye!\r\n")


if __name__ == "__main__":
    unittest.main()
