#include "pictures/picture.h"

#include "player/bitmap_font.h"
#include "player/bitmap_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace pictures {

namespace {

Shape &add(Picture *p, uint8_t kind) {
    p->shapes.push_back(Shape{});
    Shape &s = p->shapes.back();
    s.kind = kind;
    s.scale = 1;
    s.stroke_opacity = 1.0f;
    return s;
}

std::string hex(Colour c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string escape(const std::string &text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters cannot stand in XML text.
            if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n') break;
            out += ch;
        }
    }
    return out;
}

void paint(std::string &out, const Shape &s) {
    out += s.fill_opacity > 0 ? " fill=\"" + hex(s.fill) + "\"" : std::string(" fill=\"none\"");
    if (s.fill_opacity > 0 && s.fill_opacity < 1)
        out += " fill-opacity=\"" + picture_number(s.fill_opacity) + "\"";
    if (s.stroke_width > 0) {
        out += " stroke=\"" + hex(s.stroke) + "\" stroke-width=\"" + picture_number(s.stroke_width) + "\"";
        if (s.stroke_opacity < 1) out += " stroke-opacity=\"" + picture_number(s.stroke_opacity) + "\"";
        if (s.dash > 0) out += " stroke-dasharray=\"" + picture_number(s.dash) + "\"";
    }
}

} // namespace

std::string picture_number(double v, int32_t decimals) {
    if (!std::isfinite(v)) v = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

Shape &picture_rect(Picture *p, double x, double y, double w, double h, Colour fill, float opacity) {
    Shape &s = add(p, SHAPE_RECT);
    s.x = x, s.y = y, s.w = w, s.h = h;
    s.fill = fill;
    s.fill_opacity = opacity;
    return s;
}

Shape &picture_frame(Picture *p, double x, double y, double w, double h, Colour stroke, float width) {
    Shape &s = add(p, SHAPE_RECT);
    s.x = x, s.y = y, s.w = w, s.h = h;
    s.stroke = stroke;
    s.stroke_width = width;
    return s;
}

Shape &picture_line(Picture *p, double x0, double y0, double x1, double y1, Colour stroke, float width,
                    float dash, float opacity) {
    Shape &s = add(p, SHAPE_POLYLINE);
    s.points = {x0, y0, x1, y1};
    s.stroke = stroke;
    s.stroke_width = width;
    s.dash = dash;
    s.stroke_opacity = opacity;
    return s;
}

Shape &picture_polyline(Picture *p, std::vector<double> points, Colour stroke, float width) {
    Shape &s = add(p, SHAPE_POLYLINE);
    s.points = std::move(points);
    s.stroke = stroke;
    s.stroke_width = width;
    return s;
}

Shape &picture_circle(Picture *p, double x, double y, double radius, Colour fill, float fill_opacity,
                      Colour stroke, float stroke_width) {
    Shape &s = add(p, SHAPE_CIRCLE);
    s.x = x, s.y = y, s.w = radius;
    s.fill = fill;
    s.fill_opacity = fill_opacity;
    s.stroke = stroke;
    s.stroke_width = stroke_width;
    return s;
}

Shape &picture_text(Picture *p, double x, double y, const std::string &text, Colour colour, int32_t scale,
                    uint8_t anchor) {
    Shape &s = add(p, SHAPE_TEXT);
    s.x = x, s.y = y;
    s.text = text;
    s.fill = colour;
    s.fill_opacity = 1.0f;
    s.scale = scale < 1 ? 1 : scale;
    s.anchor = anchor;
    return s;
}

Shape &picture_columns(Picture *p, double x, double step, std::vector<double> top_bottom, Colour colour) {
    Shape &s = add(p, SHAPE_COLUMNS);
    s.x = x, s.w = step;
    s.points = std::move(top_bottom);
    s.fill = colour;
    s.fill_opacity = 1.0f;
    return s;
}

void picture_group_begin(Picture *p, const std::string &css_class,
                         std::vector<std::pair<std::string, std::string>> data, const std::string &title) {
    Shape &s = add(p, SHAPE_GROUP_BEGIN);
    s.css_class = css_class;
    s.data = std::move(data);
    s.title = title;
}

void picture_group_end(Picture *p) {
    add(p, SHAPE_GROUP_END);
}

// The pixel font has ASCII only: any other character (a whole UTF-8 sequence) is drawn as "?".
static std::string pixel_text(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += c >= 0x20 ? char(c) : '?';
            continue;
        }
        out += '?';
        while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
            i++;
    }
    return out;
}

int32_t picture_text_width(const std::string &text, int32_t scale) {
    std::string t = pixel_text(text);
    return player::bitmap_text_width(t.c_str(), int32_t(t.size()), scale);
}

std::string picture_text_fit(const std::string &text, double width, int32_t scale) {
    if (picture_text_width(text, scale) <= width) return text;
    // Cut between characters, never inside a UTF-8 sequence.
    std::string cut = text;
    while (!cut.empty()) {
        size_t n = cut.size() - 1;
        while (n > 0 && (static_cast<unsigned char>(cut[n]) & 0xC0) == 0x80)
            n--;
        cut.resize(n);
        while (!cut.empty() && cut.back() == ' ')
            cut.pop_back();
        if (!cut.empty() && picture_text_width(cut + "...", scale) <= width) return cut + "...";
    }
    return picture_text_width("...", scale) <= width ? "..." : "";
}

std::vector<std::string> picture_text_wrap(const std::string &text, int32_t width) {
    std::vector<std::string> out;
    // Wrapped on the pixel font's view of the text, cut at the same places in the original.
    std::string pixels = pixel_text(text);
    std::vector<size_t> origin; // byte of the original where each pixel character starts
    for (size_t i = 0; i < text.size(); i++)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) origin.push_back(i);
    origin.push_back(text.size());
    std::vector<player::BitmapTextLine> lines(pixels.size() + 1);
    int32_t n =
        player::bitmap_text_wrap(pixels.c_str(), width < 8 ? 8 : width, lines.data(), int32_t(lines.size()));
    for (int32_t i = 0; i < n; i++) {
        size_t a = origin[size_t(lines[i].start)], b = origin[size_t(lines[i].start + lines[i].length)];
        out.push_back(text.substr(a, b - a));
    }
    return out;
}

std::string picture_svg(const Picture &p) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(p.width) + "\" height=\"" +
           std::to_string(p.height) + "\" viewBox=\"0 0 " + std::to_string(p.width) + " " +
           std::to_string(p.height) + "\" font-family=\"monospace\">\n";
    out += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(p.width) + "\" height=\"" +
           std::to_string(p.height) + "\" fill=\"" + hex(p.background) + "\"/>\n";
    for (const Shape &s : p.shapes) {
        switch (s.kind) {
        case SHAPE_RECT:
            out += "<rect x=\"" + picture_number(s.x) + "\" y=\"" + picture_number(s.y) + "\" width=\"" +
                   picture_number(s.w < 0 ? 0 : s.w) + "\" height=\"" + picture_number(s.h < 0 ? 0 : s.h) +
                   "\"";
            paint(out, s);
            out += "/>\n";
            break;
        case SHAPE_POLYLINE: {
            if (s.points.size() < 4) break;
            out += "<path d=\"";
            for (size_t i = 0; i + 1 < s.points.size(); i += 2)
                out += std::string(i == 0 ? "M " : " L ") + picture_number(s.points[i], 3) + " " +
                       picture_number(s.points[i + 1], 3);
            out += "\"";
            paint(out, s);
            out += " stroke-linejoin=\"round\"/>\n";
            break;
        }
        case SHAPE_CIRCLE:
            out += "<circle cx=\"" + picture_number(s.x, 3) + "\" cy=\"" + picture_number(s.y, 3) +
                   "\" r=\"" + picture_number(s.w) + "\"";
            paint(out, s);
            out += "/>\n";
            break;
        case SHAPE_TEXT: {
            if (s.text.empty()) break;
            static const char *kAnchors[3] = {"start", "middle", "end"};
            int32_t width = picture_text_width(s.text, s.scale);
            out += "<text x=\"" + picture_number(s.x) + "\" y=\"" +
                   picture_number(s.y + player::kBitmapFontAscent * s.scale) + "\" font-size=\"" +
                   std::to_string(11 * s.scale) + "\" fill=\"" + hex(s.fill) + "\"";
            if (s.anchor != ANCHOR_START)
                out += std::string(" text-anchor=\"") + kAnchors[s.anchor % 3] + "\"";
            out += " textLength=\"" + std::to_string(width) + "\" lengthAdjust=\"spacingAndGlyphs\">" +
                   escape(s.text) + "</text>\n";
            break;
        }
        case SHAPE_COLUMNS: {
            if (s.points.size() < 2) break;
            out += "<path d=\"";
            for (size_t i = 0; i + 1 < s.points.size(); i += 2) {
                double x = s.x + (double(i / 2) + 0.5) * s.w;
                out += std::string(i ? " M " : "M ") + picture_number(x) + " " + picture_number(s.points[i]) +
                       " V " + picture_number(s.points[i + 1]);
            }
            out += "\" fill=\"none\" stroke=\"" + hex(s.fill) + "\" stroke-width=\"" + picture_number(s.w) +
                   "\"/>\n";
            break;
        }
        case SHAPE_GROUP_BEGIN:
            out += "<g";
            if (!s.css_class.empty()) out += " class=\"" + escape(s.css_class) + "\"";
            for (const auto &d : s.data)
                out += " data-" + d.first + "=\"" + escape(d.second) + "\"";
            out += ">\n";
            if (!s.title.empty()) out += "<title>" + escape(s.title) + "</title>\n";
            break;
        case SHAPE_GROUP_END: out += "</g>\n"; break;
        default: break;
        }
    }
    out += "</svg>\n";
    return out;
}

} // namespace pictures
