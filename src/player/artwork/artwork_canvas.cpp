#include "player/artwork/artwork_canvas.h"

#include "player/bitmap_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace player {

namespace {

constexpr int kSamples = 8;

enum SampleKind : uint8_t { SAMPLE_OUTSIDE = 0, SAMPLE_OUTLINE = 1, SAMPLE_FILL = 2 };

// Signed distance from (px, py) to a rectangle with rounded corners (negative inside).
float rounded_rect_distance(float px, float py, float x0, float y0, float x1, float y1, float radius) {
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float qx = std::fabs(px - cx) - ((x1 - x0) * 0.5f - radius);
    float qy = std::fabs(py - cy) - ((y1 - y0) * 0.5f - radius);
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

void mix(Canvas *c, int32_t x, int32_t y, LauncherRgb colour, float amount) {
    if (x < 0 || y < 0 || x >= c->width || y >= c->height || amount <= 0.0f) return;
    float *p = &c->rgb[(size_t(y) * c->width + x) * 3];
    p[0] += (colour.r - p[0]) * amount;
    p[1] += (colour.g - p[1]) * amount;
    p[2] += (colour.b - p[2]) * amount;
}

// Runs classify on every sample of the pixels in the box and blends the outline and fill
// colours by how many samples each kind got.
template <typename Classify>
void draw_sampled(Canvas *c, float x0, float y0, float x1, float y1, LauncherRgb outline, LauncherRgb fill,
                  Classify classify) {
    int32_t px0 = std::max(0, int32_t(std::floor(x0)) - 1), py0 = std::max(0, int32_t(std::floor(y0)) - 1);
    int32_t px1 = std::min(c->width - 1, int32_t(std::ceil(x1)) + 1);
    int32_t py1 = std::min(c->height - 1, int32_t(std::ceil(y1)) + 1);
    for (int32_t y = py0; y <= py1; ++y)
        for (int32_t x = px0; x <= px1; ++x) {
            int counts[3] = {0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx)
                    ++counts[classify(x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples)];
            const float total = kSamples * kSamples;
            float fill_part = counts[SAMPLE_FILL] / total, outline_part = counts[SAMPLE_OUTLINE] / total;
            float keep = 1.0f - fill_part - outline_part;
            float *p = &c->rgb[(size_t(y) * c->width + x) * 3];
            p[0] = p[0] * keep + fill.r * fill_part + outline.r * outline_part;
            p[1] = p[1] * keep + fill.g * fill_part + outline.g * outline_part;
            p[2] = p[2] * keep + fill.b * fill_part + outline.b * outline_part;
        }
}

} // namespace

Canvas canvas_create(int32_t width, int32_t height, LauncherRgb colour) {
    Canvas c = {width, height, std::vector<float>(size_t(width) * height * 3)};
    for (size_t i = 0; i < c.rgb.size(); i += 3) {
        c.rgb[i] = colour.r;
        c.rgb[i + 1] = colour.g;
        c.rgb[i + 2] = colour.b;
    }
    return c;
}

void canvas_rounded_rect(Canvas *c, float x0, float y0, float x1, float y1, float radius, float stroke,
                         LauncherRgb outline, bool has_fill, LauncherRgb fill) {
    draw_sampled(c, x0, y0, x1, y1, outline, fill, [&](float px, float py) {
        float d = rounded_rect_distance(px, py, x0, y0, x1, y1, radius);
        if (d > 0.0f) return SAMPLE_OUTSIDE;
        if (d > -stroke) return SAMPLE_OUTLINE;
        return has_fill ? SAMPLE_FILL : SAMPLE_OUTSIDE;
    });
}

void canvas_ring(Canvas *c, float cx, float cy, float radius, float stroke, LauncherRgb colour) {
    draw_sampled(c, cx - radius, cy - radius, cx + radius, cy + radius, colour, colour,
                 [&](float px, float py) {
                     float d = std::hypot(px - cx, py - cy) - radius;
                     return d <= 0.0f && d > -stroke ? SAMPLE_OUTLINE : SAMPLE_OUTSIDE;
                 });
}

void canvas_segment(Canvas *c, float ax, float ay, float bx, float by, float width, LauncherRgb colour) {
    float half = width * 0.5f;
    float dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
    draw_sampled(c, std::min(ax, bx) - half, std::min(ay, by) - half, std::max(ax, bx) + half,
                 std::max(ay, by) + half, colour, colour, [&](float px, float py) {
                     float t = length2 > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0f;
                     t = std::min(1.0f, std::max(0.0f, t));
                     float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
                     return ex * ex + ey * ey <= half * half ? SAMPLE_OUTLINE : SAMPLE_OUTSIDE;
                 });
}

void canvas_text(Canvas *c, const char *text, int32_t x, int32_t y, int32_t scale, LauncherRgb colour) {
    std::vector<uint8_t> mask(size_t(c->width) * c->height, 0);
    int32_t length = int32_t(std::strlen(text));
    bitmap_text_draw(text, length, x, y, scale, 1, ByteImage{mask.data(), c->width, c->height, c->width});
    for (int32_t py = 0; py < c->height; ++py)
        for (int32_t px = 0; px < c->width; ++px)
            if (mask[size_t(py) * c->width + px]) mix(c, px, py, colour, 1.0f);
}

Canvas canvas_crop(const Canvas &c, int32_t x, int32_t y, int32_t width, int32_t height) {
    Canvas out = {width, height, std::vector<float>(size_t(width) * height * 3)};
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(&out.rgb[size_t(row) * width * 3], &c.rgb[(size_t(y + row) * c.width + x) * 3],
                    size_t(width) * 3 * sizeof(float));
    return out;
}

void artwork_palette(LauncherRgb palette[kArtworkPaletteSize]) {
    auto blend = [](LauncherRgb a, LauncherRgb b, float t) {
        return LauncherRgb{uint8_t(std::lround(a.r + (b.r - a.r) * t)),
                           uint8_t(std::lround(a.g + (b.g - a.g) * t)),
                           uint8_t(std::lround(a.b + (b.b - a.b) * t))};
    };
    int n = 0;
    palette[n++] = kLauncherBlack;
    palette[n++] = kLauncherBackdrop;
    palette[n++] = kLauncherPanelFill;
    palette[n++] = kLauncherPressedFill;
    // Most edges lie on the panels: five shades there, three on the backdrop and the pressed button.
    for (float t : {1.0f / 6, 2.0f / 6, 3.0f / 6, 4.0f / 6, 5.0f / 6})
        palette[n++] = blend(kLauncherBlack, kLauncherPanelFill, t);
    for (float t : {0.25f, 0.5f, 0.75f})
        palette[n++] = blend(kLauncherBlack, kLauncherBackdrop, t);
    for (float t : {0.25f, 0.5f, 0.75f})
        palette[n++] = blend(kLauncherBlack, kLauncherPressedFill, t);
    palette[n++] = blend(kLauncherBackdrop, kLauncherPanelFill, 0.5f);
}

static void put_u16(std::vector<uint8_t> *out, uint32_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}

static void put_u32(std::vector<uint8_t> *out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

std::vector<uint8_t> canvas_encode_bmp4(const Canvas &c, const LauncherRgb palette[kArtworkPaletteSize]) {
    const uint32_t stride = (uint32_t(c.width) * 4 + 31) / 32 * 4;
    const uint32_t header = 14 + 40 + kArtworkPaletteSize * 4;
    const uint32_t image = stride * uint32_t(c.height);
    std::vector<uint8_t> out;
    out.reserve(header + image);
    out.push_back('B');
    out.push_back('M');
    put_u32(&out, header + image);
    put_u32(&out, 0);
    put_u32(&out, header);
    put_u32(&out, 40);
    put_u32(&out, uint32_t(c.width));
    put_u32(&out, uint32_t(c.height)); // positive: rows run bottom-up
    put_u16(&out, 1);
    put_u16(&out, 4);
    put_u32(&out, 0); // no compression
    put_u32(&out, image);
    put_u32(&out, 2835); // 72 dpi
    put_u32(&out, 2835);
    put_u32(&out, kArtworkPaletteSize);
    put_u32(&out, kArtworkPaletteSize);
    for (int i = 0; i < kArtworkPaletteSize; ++i) {
        out.push_back(palette[i].b);
        out.push_back(palette[i].g);
        out.push_back(palette[i].r);
        out.push_back(0);
    }
    for (int32_t y = c.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int32_t x = 0; x < c.width; ++x) {
            const float *p = &c.rgb[(size_t(y) * c.width + x) * 3];
            int best = 0;
            float best_distance = 1e30f;
            for (int i = 0; i < kArtworkPaletteSize; ++i) {
                float dr = p[0] - palette[i].r, dg = p[1] - palette[i].g, db = p[2] - palette[i].b;
                float d = dr * dr + dg * dg + db * db;
                if (d < best_distance) {
                    best_distance = d;
                    best = i;
                }
            }
            row[x / 2] |= uint8_t(x % 2 == 0 ? best << 4 : best);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

} // namespace player
