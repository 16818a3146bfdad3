// Pictures for people (bvtool timeline and plot, the preview's strip, the browser studio): plain shapes in
// pixels, written as plain SVG (rect, path, circle, text; no script) or drawn by a small software
// rasteriser into RGB pixels for a PNG, so that both files show the same picture. Text is set in
// the built-in pixel font (player/bitmap_font.h); the SVG stretches its own monospace text to the
// width the pixel font gives it, so labels fit the same way in both. No GL, no SDL.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pictures {

struct Colour {
    uint8_t r, g, b;
};

// The colours every picture shares: text and axes, faint marks, the ground, the red of the demo's
// end and of marked places, and the red of findings and moved knots.
constexpr Colour kInk = {30, 30, 36};
constexpr Colour kFaint = {150, 150, 160};
constexpr Colour kWhite = {255, 255, 255};
constexpr Colour kMarkRed = {200, 40, 40};
constexpr Colour kFindingRed = {205, 30, 60};

enum PictureAnchor : uint8_t { ANCHOR_START = 0, ANCHOR_MIDDLE, ANCHOR_END };

enum ShapeKind : uint8_t {
    SHAPE_RECT = 0,    // x, y, w, h
    SHAPE_POLYLINE,    // points: x0, y0, x1, y1, ...
    SHAPE_CIRCLE,      // x, y centre, w radius
    SHAPE_TEXT,        // x, y: the top of the capitals at the anchor
    SHAPE_COLUMNS,     // one column a pixel step: x, w the step; points: top, bottom of each
    SHAPE_GROUP_BEGIN, // a group of the shapes up to its end: the SVG's <g> with its class and data
    SHAPE_GROUP_END,
};

struct Shape {
    uint8_t kind;
    double x, y, w, h;
    std::vector<double> points;
    Colour fill;
    float fill_opacity; // 0: not filled
    Colour stroke;
    float stroke_width; // 0: no outline
    float stroke_opacity;
    float dash; // dash and gap length of a stroke; 0 solid
    std::string text;
    int32_t scale; // text: pixel font scale (1 or 2)
    uint8_t anchor;
    // Groups: the SVG class, "data-" attributes (name without the prefix, value) and a title that
    // viewers show as a tooltip. The PNG draws none of them.
    std::string css_class;
    std::vector<std::pair<std::string, std::string>> data;
    std::string title;
};

struct Picture {
    int32_t width, height;
    Colour background;
    std::vector<Shape> shapes;
};

constexpr int32_t kPictureMaxSide = 16384;

Shape &picture_rect(Picture *p, double x, double y, double w, double h, Colour fill, float opacity = 1.0f);
// An outline only.
Shape &picture_frame(Picture *p, double x, double y, double w, double h, Colour stroke, float width = 1.0f);
Shape &picture_line(Picture *p, double x0, double y0, double x1, double y1, Colour stroke, float width = 1.0f,
                    float dash = 0.0f, float opacity = 1.0f);
Shape &picture_polyline(Picture *p, std::vector<double> points, Colour stroke, float width = 1.0f);
Shape &picture_circle(Picture *p, double x, double y, double radius, Colour fill, float fill_opacity,
                      Colour stroke, float stroke_width);
// Text at scale 1 or 2 of the pixel font; y is the top of its capitals.
Shape &picture_text(Picture *p, double x, double y, const std::string &text, Colour colour, int32_t scale = 1,
                    uint8_t anchor = ANCHOR_START);
Shape &picture_columns(Picture *p, double x, double step, std::vector<double> top_bottom, Colour colour);
void picture_group_begin(Picture *p, const std::string &css_class,
                         std::vector<std::pair<std::string, std::string>> data, const std::string &title);
void picture_group_end(Picture *p);

// The width of text in pixels as the picture sets it (the pixel font; a character it lacks is as
// wide as "?").
int32_t picture_text_width(const std::string &text, int32_t scale = 1);
// The longest leading part of text, with "..." after it when cut, that is at most width wide; ""
// when not even "..." fits.
std::string picture_text_fit(const std::string &text, double width, int32_t scale = 1);
// Text broken into lines at most width pixels wide (at spaces where it can).
std::vector<std::string> picture_text_wrap(const std::string &text, int32_t width);

// The picture as an SVG document (UTF-8, XML-escaped).
std::string picture_svg(const Picture &p);

// The picture drawn into width x height RGB pixels, top row first.
void picture_raster(const Picture &p, std::vector<uint8_t> *rgb);

// A number for an SVG attribute: at most `decimals` decimals, no trailing zeros.
std::string picture_number(double v, int32_t decimals = 2);

} // namespace pictures
