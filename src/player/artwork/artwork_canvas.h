// Drawing for the build-time artwork: a floating-point RGB canvas with anti-aliased rounded
// rectangles, rings and strokes, bitmap-font text, and its reduction to a 16-colour 4-bit BMP file.
#pragma once

#include "player/launcher_layout.h"

#include <cstdint>
#include <vector>

namespace player {

struct Canvas {
    int32_t width, height;
    std::vector<float> rgb; // width * height * 3, 0..255
};

Canvas canvas_create(int32_t width, int32_t height, LauncherRgb colour);

// Shapes take edges in continuous window coordinates: pixel (x, y) covers [x, x + 1) x [y, y + 1).
// Coverage is sampled 8 x 8 times a pixel. stroke is the outline's width inside the edge; with
// has_fill false only the outline is drawn.
void canvas_rounded_rect(Canvas *c, float x0, float y0, float x1, float y1, float radius, float stroke,
                         LauncherRgb outline, bool has_fill, LauncherRgb fill);
void canvas_ring(Canvas *c, float cx, float cy, float radius, float stroke, LauncherRgb colour);
void canvas_segment(Canvas *c, float ax, float ay, float bx, float by, float width, LauncherRgb colour);

// Crisp text: every ink pixel of the bitmap font, scale x scale, top-left of the first cell at (x, y).
void canvas_text(Canvas *c, const char *text, int32_t x, int32_t y, int32_t scale, LauncherRgb colour);

// The part of a canvas at (x, y) of the given size.
Canvas canvas_crop(const Canvas &c, int32_t x, int32_t y, int32_t width, int32_t height);

constexpr int kArtworkPaletteSize = 16;

// The artwork's palette: the four colours of the launcher and the blends that anti-aliased black
// edges make with them.
void artwork_palette(LauncherRgb palette[kArtworkPaletteSize]);

// The canvas as a 4-bit BMP file (bottom-up rows, uncompressed), each pixel the nearest palette
// colour.
std::vector<uint8_t> canvas_encode_bmp4(const Canvas &c, const LauncherRgb palette[kArtworkPaletteSize]);

} // namespace player
