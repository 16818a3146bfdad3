// The sample demo's images, drawn from formulas and written as PNG or JPEG.
#pragma once

#include <cstdint>
#include <string>

namespace assets {

// One face of the dawn sky cube map (0..5: +X, -X, +Y, -Y, +Z, -Z), size x size, JPEG.
bool image_sky_face(const std::string &path, int face, int size);
// The grass detail texture at a given size: each premade mip level is drawn at its own size with
// the detail that size can hold. JPEG.
bool image_grass(const std::string &path, int size);
// The title logotype in the pixel font with a soft glow, RGBA PNG (alpha for blending).
bool image_logo(const std::string &path, const char *text, int scale);
// A soft round light for additive sprites, RGB PNG.
bool image_glow(const std::string &path, int size, float r, float g, float b);
// A flat image (render targets start as one), RGB PNG.
bool image_flat(const std::string &path, int width, int height, uint8_t r, uint8_t g, uint8_t b);

} // namespace assets
