// The software rasteriser of pictures: shapes drawn in order over the background, pixel centres at
// half-pixel positions as an SVG viewer places them; lines and circles with their edges smoothed
// by coverage, rectangles and columns on whole pixels, text in the pixel font.
#include "pictures/picture.h"

#include "player/bitmap_font.h"
#include "player/bitmap_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace pictures {

namespace {

struct Canvas {
    int32_t w, h;
    std::vector<uint8_t> *rgb;
};

void blend(Canvas &c, int32_t x, int32_t y, Colour col, float alpha) {
    if (x < 0 || y < 0 || x >= c.w || y >= c.h || alpha <= 0.0f) return;
    if (alpha > 1.0f) alpha = 1.0f;
    uint8_t *px = c.rgb->data() + (size_t(y) * size_t(c.w) + size_t(x)) * 3;
    const uint8_t v[3] = {col.r, col.g, col.b};
    for (int i = 0; i < 3; i++)
        px[i] = static_cast<uint8_t>(std::lround(px[i] + (v[i] - px[i]) * alpha));
}

void fill_box(Canvas &c, double x0, double y0, double x1, double y1, Colour col, float alpha) {
    int32_t a = int32_t(std::lround(std::max(0.0, std::min(x0, x1)))),
            b = int32_t(std::lround(std::min(double(c.w), std::max(x0, x1))));
    int32_t top = int32_t(std::lround(std::max(0.0, std::min(y0, y1)))),
            bottom = int32_t(std::lround(std::min(double(c.h), std::max(y0, y1))));
    for (int32_t y = top; y < bottom; y++)
        for (int32_t x = a; x < b; x++)
            blend(c, x, y, col, alpha);
}

// Coverage of the pixels near a run of segments, kept as the largest per pixel so that joints are
// not drawn twice; then blended once.
struct Mask {
    int32_t x0, y0, w, h;
    std::vector<float> cover;
};

Mask mask_around(const Canvas &c, const std::vector<double> &pts, double pad) {
    double lx = 1e300, ly = 1e300, hx = -1e300, hy = -1e300;
    for (size_t i = 0; i + 1 < pts.size(); i += 2) {
        lx = std::min(lx, pts[i]), hx = std::max(hx, pts[i]);
        ly = std::min(ly, pts[i + 1]), hy = std::max(hy, pts[i + 1]);
    }
    Mask m;
    m.x0 = int32_t(std::floor(std::max(0.0, lx - pad)));
    m.y0 = int32_t(std::floor(std::max(0.0, ly - pad)));
    int32_t x1 = int32_t(std::ceil(std::min(double(c.w), hx + pad)));
    int32_t y1 = int32_t(std::ceil(std::min(double(c.h), hy + pad)));
    m.w = std::max(0, x1 - m.x0);
    m.h = std::max(0, y1 - m.y0);
    m.cover.assign(size_t(m.w) * size_t(m.h), 0.0f);
    return m;
}

void mask_segment(Mask &m, double ax, double ay, double bx, double by, double half) {
    double pad = half + 1.0;
    int32_t x0 = std::max(m.x0, int32_t(std::floor(std::min(ax, bx) - pad)));
    int32_t x1 = std::min(m.x0 + m.w, int32_t(std::ceil(std::max(ax, bx) + pad)));
    int32_t y0 = std::max(m.y0, int32_t(std::floor(std::min(ay, by) - pad)));
    int32_t y1 = std::min(m.y0 + m.h, int32_t(std::ceil(std::max(ay, by) + pad)));
    double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++) {
            double px = x + 0.5 - ax, py = y + 0.5 - ay;
            double u = len2 > 0 ? std::max(0.0, std::min(1.0, (px * dx + py * dy) / len2)) : 0.0;
            double ex = px - u * dx, ey = py - u * dy;
            double d = std::sqrt(ex * ex + ey * ey);
            float cover = float(std::max(0.0, std::min(1.0, half + 0.5 - d)));
            float &slot = m.cover[size_t(y - m.y0) * size_t(m.w) + size_t(x - m.x0)];
            slot = std::max(slot, cover);
        }
}

void mask_blend(Canvas &c, const Mask &m, Colour col, float alpha) {
    for (int32_t y = 0; y < m.h; y++)
        for (int32_t x = 0; x < m.w; x++) {
            float v = m.cover[size_t(y) * size_t(m.w) + size_t(x)];
            if (v > 0) blend(c, m.x0 + x, m.y0 + y, col, v * alpha);
        }
}

void draw_polyline(Canvas &c, const std::vector<double> &pts, Colour col, float width, float dash,
                   float alpha) {
    if (pts.size() < 4 || width <= 0) return;
    double half = double(width) / 2.0;
    Mask m = mask_around(c, pts, half + 2.0);
    if (m.w == 0 || m.h == 0) return;
    double along = 0.0; // distance along the line, for dashes
    for (size_t i = 0; i + 3 < pts.size(); i += 2) {
        double ax = pts[i], ay = pts[i + 1], bx = pts[i + 2], by = pts[i + 3];
        if (dash <= 0) {
            mask_segment(m, ax, ay, bx, by, half);
            continue;
        }
        double len = std::hypot(bx - ax, by - ay);
        for (double s = 0; s < len;) {
            double phase = std::fmod(along + s, 2.0 * dash);
            double run = std::min(len - s, (phase < dash ? dash : 2.0 * dash) - phase);
            if (phase < dash) {
                double u0 = s / len, u1 = (s + run) / len;
                mask_segment(m, ax + (bx - ax) * u0, ay + (by - ay) * u0, ax + (bx - ax) * u1,
                             ay + (by - ay) * u1, half);
            }
            s += std::max(run, 1e-6);
        }
        along += len;
    }
    mask_blend(c, m, col, alpha);
}

void draw_circle(Canvas &c, const Shape &s) {
    double r = s.w, pad = r + s.stroke_width + 2.0;
    int32_t x0 = std::max(0, int32_t(std::floor(s.x - pad))),
            x1 = std::min(c.w, int32_t(std::ceil(s.x + pad)));
    int32_t y0 = std::max(0, int32_t(std::floor(s.y - pad))),
            y1 = std::min(c.h, int32_t(std::ceil(s.y + pad)));
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++) {
            double d = std::hypot(x + 0.5 - s.x, y + 0.5 - s.y);
            if (s.fill_opacity > 0)
                blend(c, x, y, s.fill, float(std::max(0.0, std::min(1.0, r + 0.5 - d))) * s.fill_opacity);
            if (s.stroke_width > 0)
                blend(c, x, y, s.stroke,
                      float(std::max(0.0, std::min(1.0, s.stroke_width / 2.0 + 0.5 - std::fabs(d - r)))) *
                          s.stroke_opacity);
        }
}

void draw_text(Canvas &c, const Shape &s) {
    std::string t;
    for (size_t i = 0; i < s.text.size(); i++) {
        unsigned char ch = static_cast<unsigned char>(s.text[i]);
        if ((ch & 0xC0) == 0x80) continue;
        t += ch >= 0x20 && ch < 0x80 ? char(ch) : '?';
    }
    int32_t width = player::bitmap_text_width(t.c_str(), int32_t(t.size()), s.scale);
    int32_t height = player::kBitmapFontRows * s.scale;
    double left = s.anchor == ANCHOR_MIDDLE ? s.x - width / 2.0 : s.anchor == ANCHOR_END ? s.x - width : s.x;
    int32_t x = int32_t(std::lround(left)), y = int32_t(std::lround(s.y));
    if (width <= 0) return;
    std::vector<uint8_t> mask(size_t(width) * size_t(height), 0);
    player::ByteImage image = {mask.data(), width, height, width};
    player::bitmap_text_draw(t.c_str(), int32_t(t.size()), 0, 0, s.scale, 255, image);
    for (int32_t yy = 0; yy < height; yy++)
        for (int32_t xx = 0; xx < width; xx++)
            if (mask[size_t(yy) * size_t(width) + size_t(xx)])
                blend(c, x + xx, y + yy, s.fill, s.fill_opacity);
}

} // namespace

void picture_raster(const Picture &p, std::vector<uint8_t> *rgb) {
    rgb->assign(size_t(p.width) * size_t(p.height) * 3, 0);
    for (size_t i = 0; i < rgb->size(); i += 3) {
        (*rgb)[i] = p.background.r;
        (*rgb)[i + 1] = p.background.g;
        (*rgb)[i + 2] = p.background.b;
    }
    Canvas c = {p.width, p.height, rgb};
    for (const Shape &s : p.shapes) {
        switch (s.kind) {
        case SHAPE_RECT:
            if (s.fill_opacity > 0) fill_box(c, s.x, s.y, s.x + s.w, s.y + s.h, s.fill, s.fill_opacity);
            if (s.stroke_width > 0)
                draw_polyline(c, {s.x, s.y, s.x + s.w, s.y, s.x + s.w, s.y + s.h, s.x, s.y + s.h, s.x, s.y},
                              s.stroke, s.stroke_width, s.dash, s.stroke_opacity);
            break;
        case SHAPE_POLYLINE:
            draw_polyline(c, s.points, s.stroke, s.stroke_width, s.dash, s.stroke_opacity);
            break;
        case SHAPE_CIRCLE: draw_circle(c, s); break;
        case SHAPE_TEXT: draw_text(c, s); break;
        case SHAPE_COLUMNS:
            for (size_t i = 0; i + 1 < s.points.size(); i += 2) {
                double x = s.x + double(i / 2) * s.w;
                fill_box(c, x, s.points[i], x + s.w, s.points[i + 1], s.fill, s.fill_opacity);
            }
            break;
        default: break;
        }
    }
}

} // namespace pictures
