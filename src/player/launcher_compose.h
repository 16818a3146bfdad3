// The launcher's picture without SDL: its six BMP pictures decoded and drawn in the launcher's
// order into an RGBA image, for the browser's page (which has no SDL surfaces to blit) and for
// checking the desktop launcher's drawing.
#pragma once

#include "player/launcher_layout.h"
#include "player/launcher_pictures.h"
#include "player/launcher_state.h"

#include <cstdint>

namespace player {

// A picture as palette indices (4 or 8 bits a pixel) or RGB, top row first.
struct LauncherImage {
    int32_t width, height;
    uint8_t palette[256][3]; // RGB
    uint32_t palette_size;   // 0 for an RGB image
    uint8_t *pixels;         // width x height indices, or width x height x 3 RGB; malloc'd
};

// Decodes an uncompressed BMP of 4, 8 or 24 bits a pixel, bottom-up or top-down, at most 4096
// pixels a side. False (and an empty image) for anything else or a file cut short.
bool launcher_image_decode(const uint8_t *bytes, uint32_t size, LauncherImage *image);

void launcher_image_free(LauncherImage *image);

struct LauncherCanvas {
    LauncherImage pictures[LAUNCHER_PICTURE_COUNT]; // empty where one did not decode
    uint8_t rgba[kLauncherWidth * kLauncherHeight * 4];
};

// Decodes the six pictures; false when the background did not decode (free it all the same).
bool launcher_canvas_load(LauncherCanvas *canvas, const LauncherPictureBytes *bytes);

void launcher_canvas_free(LauncherCanvas *canvas);

// Draws the state as the launcher window shows it: black, the background, the three frames, the
// check marks of the switches that are on and the pressed start button when it is to be shown;
// the overlays with the panels' fill as colour key. Alpha is 255 everywhere.
void launcher_canvas_draw(LauncherCanvas *canvas, const LauncherState *state);

} // namespace player
