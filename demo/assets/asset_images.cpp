#include "asset_images.h"

#include "asset_shapes.h"
#include "player/bitmap_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stb_image_write.h>
#include <vector>

namespace assets {

namespace {

uint8_t to_byte(float v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

float mix(float a, float b, float t) {
    return a + (b - a) * t;
}

// Direction of cube face pixel (s, t in -1..1), normalised.
void face_direction(int face, float s, float t, float d[3]) {
    cube_face_direction(face, s, t, d);
    float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (int k = 0; k < 3; k++)
        d[k] /= len;
}

// Dawn: a warm horizon under a deep blue zenith, the sun low in the east-north, faint stars
// overhead, the valley floor dark below.
void sky_colour(const float d[3], float out[3]) {
    const float sun[3] = {0.55f, 0.22f, -0.80f};
    float y = d[1];
    float sun_dot = std::max(0.0f, d[0] * sun[0] + d[1] * sun[1] + d[2] * sun[2]);
    if (y >= 0) {
        float h = std::pow(y, 0.45f);
        const float horizon[3] = {1.0f, 0.58f, 0.32f}, zenith[3] = {0.10f, 0.16f, 0.42f};
        for (int k = 0; k < 3; k++)
            out[k] = mix(horizon[k], zenith[k], h);
        float star = fractal2(d[0] * 90 + 7, d[2] * 90 + d[1] * 40, 23, 1);
        if (star > 0.93f && y > 0.35f) {
            float s = (star - 0.93f) * 14 * y;
            for (int k = 0; k < 3; k++)
                out[k] += s;
        }
    } else {
        float h = std::min(1.0f, -y * 3);
        const float ground[3] = {0.09f, 0.08f, 0.11f}, haze[3] = {0.55f, 0.36f, 0.28f};
        for (int k = 0; k < 3; k++)
            out[k] = mix(haze[k], ground[k], h);
    }
    float glow = std::pow(sun_dot, 12.0f) * 0.6f + (sun_dot > 0.9985f ? 1.0f : 0.0f);
    out[0] += glow;
    out[1] += glow * 0.8f;
    out[2] += glow * 0.5f;
}

bool write_jpg(const std::string &path, int w, int h, int channels, const std::vector<uint8_t> &px) {
    return stbi_write_jpg(path.c_str(), w, h, channels, px.data(), 92) != 0;
}

bool write_png(const std::string &path, int w, int h, int channels, const std::vector<uint8_t> &px) {
    return stbi_write_png(path.c_str(), w, h, channels, px.data(), w * channels) != 0;
}

} // namespace

bool image_sky_face(const std::string &path, int face, int size) {
    std::vector<uint8_t> px(size_t(size) * size * 3);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            float d[3], c[3];
            face_direction(face, (x + 0.5f) / size * 2 - 1, (y + 0.5f) / size * 2 - 1, d);
            sky_colour(d, c);
            for (int k = 0; k < 3; k++)
                px[(size_t(y) * size + x) * 3 + k] = to_byte(c[k]);
        }
    return write_jpg(path, size, size, 3, px);
}

bool image_grass(const std::string &path, int size) {
    std::vector<uint8_t> px(size_t(size) * size * 3);
    // Finer octaves only where the level has pixels for them: a level of half the size drops one.
    int octaves = 1;
    for (int s = size; s > 16; s /= 2)
        octaves++;
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            float u = float(x) / size * 8, v = float(y) / size * 8;
            // The pattern repeats every 8 noise cells so that the texture tiles.
            float n = 0, amp = 0.5f, total = 0, f = 1;
            for (int o = 0; o < octaves; o++) {
                int period = 8 << o;
                float fu = u * f, fv = v * f;
                float a = noise2_periodic(fu, fv, period, 31 + o);
                n += amp * a;
                total += amp;
                amp *= 0.55f;
                f *= 2;
            }
            n /= total;
            float blade = 0.5f + 0.5f * std::sin(u * 21.0f + 3 * n);
            float light = 0.55f + 0.6f * (n - 0.5f) + (octaves > 4 ? 0.12f * (blade - 0.5f) : 0.0f);
            float c[3] = {0.30f * light, 0.55f * light + 0.05f, 0.18f * light};
            for (int k = 0; k < 3; k++)
                px[(size_t(y) * size + x) * 3 + k] = to_byte(c[k]);
        }
    return write_jpg(path, size, size, 3, px);
}

bool image_logo(const std::string &path, const char *text, int scale) {
    int width = 0;
    for (const char *c = text; *c; c++)
        width += player::bitmap_font_glyph_width(player::bitmap_font_glyph(*c)) + player::kBitmapFontSpacing;
    const int margin = 4;
    int w = (width + 2 * margin) * scale, h = (player::kBitmapFontRows + 2 * margin) * scale;
    std::vector<float> ink(size_t(w) * h, 0.0f);
    int pen = margin;
    for (const char *c = text; *c; c++) {
        const player::BitmapGlyph &g = player::bitmap_font_glyph(*c);
        int gw = player::bitmap_font_glyph_width(g);
        for (int r = 0; r < player::kBitmapFontRows; r++)
            for (int x = 0; x < gw; x++)
                if (player::bitmap_font_ink(g, x, r))
                    for (int dy = 0; dy < scale; dy++)
                        for (int dx = 0; dx < scale; dx++)
                            ink[size_t((margin + r) * scale + dy) * w + (pen + x) * scale + dx] = 1.0f;
        pen += gw + player::kBitmapFontSpacing;
    }
    // The glow: the ink blurred wide by three box passes each way.
    std::vector<float> glow = ink, tmp(glow.size());
    int radius = scale * 2;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                float sum = 0;
                for (int k = -radius; k <= radius; k++)
                    sum += glow[size_t(y) * w + std::clamp(x + k, 0, w - 1)];
                tmp[size_t(y) * w + x] = sum / (2 * radius + 1);
            }
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                float sum = 0;
                for (int k = -radius; k <= radius; k++)
                    sum += tmp[size_t(std::clamp(y + k, 0, h - 1)) * w + x];
                glow[size_t(y) * w + x] = sum / (2 * radius + 1);
            }
    }
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            size_t i = size_t(y) * w + x;
            float face = ink[i], halo = std::min(1.0f, glow[i] * 2.2f);
            // White-gold letters top to bottom, in an amber halo.
            float t = float(y) / h;
            float c[3] = {mix(1.0f, 1.0f, face), mix(0.62f, mix(0.97f, 0.78f, t), face),
                          mix(0.2f, mix(0.85f, 0.4f, t), face)};
            for (int k = 0; k < 3; k++)
                px[i * 4 + k] = to_byte(c[k]);
            px[i * 4 + 3] = to_byte(std::max(face, halo * 0.75f));
        }
    return write_png(path, w, h, 4, px);
}

bool image_glow(const std::string &path, int size, float r, float g, float b) {
    std::vector<uint8_t> px(size_t(size) * size * 3);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            float d = std::sqrt(dx * dx + dy * dy);
            float v = d >= 1 ? 0.0f : std::pow(1 - d, 2.2f);
            const float c[3] = {r * v, g * v, b * v};
            for (int k = 0; k < 3; k++)
                px[(size_t(y) * size + x) * 3 + k] = to_byte(c[k]);
        }
    return write_png(path, size, size, 3, px);
}

bool image_flat(const std::string &path, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> px(size_t(width) * height * 3);
    for (size_t i = 0; i < px.size(); i += 3) {
        px[i] = r;
        px[i + 1] = g;
        px[i + 2] = b;
    }
    return write_png(path, width, height, 3, px);
}

} // namespace assets
