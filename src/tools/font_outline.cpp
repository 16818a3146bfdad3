#include "tools/font_outline.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_FONT_FORMATS_H

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tools {

struct FontFile {
    FT_Library library;
    FT_Face face;
    FontInfo info;
};

namespace {

// FreeType's load flags for geometry: unscaled font units, no hinting, no embedded bitmaps.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
// Flattening never cuts one curve into more pieces than this, whatever its control points say.
constexpr int kMaxCurvePieces = 256;
// More points than a model can hold vertices: such an outline is given up as it is walked, so that a
// hostile font cannot have millions of points made and tessellated.
constexpr size_t kMaxOutlinePoints = 65535;
constexpr double kSamePoint = 1e-9; // cap heights
constexpr double kPi = 3.14159265358979323846;

std::string freetype_reason(FT_Error error) {
    switch (error) {
    case FT_Err_Cannot_Open_Resource: return "cannot be opened";
    case FT_Err_Unknown_File_Format: return "is not a font file FreeType reads";
    case FT_Err_Invalid_File_Format: return "is a damaged font file";
    case FT_Err_Out_Of_Memory: return "needs more memory than there is";
    default: return "cannot be read as a font (FreeType error " + std::to_string(error) + ")";
    }
}

// The top of H's outline in font units, 0 when the font has no H with an outline.
double height_of_h(FT_Face face) {
    FT_UInt index = FT_Get_Char_Index(face, 'H');
    if (!index || FT_Load_Glyph(face, index, kLoadFlags) != 0) return 0;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || face->glyph->outline.n_points == 0) return 0;
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    return double(box.yMax);
}

struct Vec {
    double x, y;
};
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator*(double s, Vec a) {
    return {s * a.x, s * a.y};
}
double length(Vec a) {
    return std::sqrt(a.x * a.x + a.y * a.y);
}
// The unit vector along a, or (0, 0) for a vector too short to have a direction.
Vec unit(Vec a) {
    double l = length(a);
    return l > kSamePoint ? Vec{a.x / l, a.y / l} : Vec{0, 0};
}
bool is_zero(Vec a) {
    return a.x == 0 && a.y == 0;
}

// The first of the candidate directions that has one.
Vec first_direction(std::initializer_list<Vec> candidates) {
    for (Vec v : candidates) {
        Vec u = unit(v);
        if (!is_zero(u)) return u;
    }
    return {0, 0};
}

// Collects the flattened contours while FT_Outline_Decompose walks the outline.
struct Flattener {
    double scale;   // cap heights per font unit
    double shift_x; // subtracted from x: the left side bearing in cap heights
    GlyphShape *shape;
    size_t points = 0; // so far, in every contour
    Vec at;            // the current point
    Vec in;            // direction in which the outline arrived at the current point; (0, 0) at a start
    Vec first_out;     // direction in which the current contour left its first point
    bool open = false;
};

Vec to_cap(const Flattener &f, const FT_Vector *v) {
    return {double(v->x) * f.scale - f.shift_x, double(v->y) * f.scale};
}

std::vector<OutlinePoint> &contour(Flattener &f) {
    return f.shape->contours.back();
}

// Decides whether the outline turns at its current point, where it arrived along f.in and now
// leaves along out.
void join(Flattener &f, Vec out) {
    if (is_zero(f.in)) {
        f.first_out = out;
        return;
    }
    OutlinePoint &p = contour(f).back();
    double turn_cos = f.in.x * out.x + f.in.y * out.y;
    if (turn_cos >= std::cos(kFontSmoothTurn * kPi / 180.0)) {
        Vec t = unit(f.in + out);
        p.smooth = true;
        p.tx = t.x;
        p.ty = t.y;
    }
}

// Adds a point that ends a piece arriving along `in`, or nothing when it repeats the last point.
void add_point(Flattener &f, Vec p, bool smooth, Vec direction) {
    if (length(p - f.at) <= kSamePoint) return;
    f.points++;
    contour(f).push_back(OutlinePoint{p.x, p.y, smooth, smooth ? direction.x : 0, smooth ? direction.y : 0});
    f.at = p;
}

// Closes the current contour: the repeated first point goes, and the first point learns whether
// the outline turns there; contours too small to enclose anything are dropped.
void finish_contour(Flattener &f) {
    if (!f.open) return;
    f.open = false;
    std::vector<OutlinePoint> &c = contour(f);
    Vec first{c.front().x, c.front().y};
    if (c.size() > 1 && length(first - f.at) > kSamePoint) { // close with a line
        Vec out = unit(first - f.at);
        join(f, out);
        f.in = out;
    }
    if (c.size() > 1 && length(first - Vec{c.back().x, c.back().y}) <= kSamePoint) c.pop_back();
    if (c.size() < 3) {
        f.shape->contours.pop_back();
        return;
    }
    // The last piece arrived at the first point along f.in; the contour left it along first_out.
    Vec arrive = f.in;
    if (!is_zero(arrive) && !is_zero(f.first_out)) {
        double turn_cos = arrive.x * f.first_out.x + arrive.y * f.first_out.y;
        if (turn_cos >= std::cos(kFontSmoothTurn * kPi / 180.0)) {
            Vec t = unit(arrive + f.first_out);
            c.front().smooth = true;
            c.front().tx = t.x;
            c.front().ty = t.y;
        }
    }
}

int on_move(const FT_Vector *to, void *user) {
    Flattener &f = *static_cast<Flattener *>(user);
    if (f.points > kMaxOutlinePoints) return 1; // stops the walk
    finish_contour(f);
    f.shape->contours.emplace_back();
    f.at = to_cap(f, to);
    contour(f).push_back(OutlinePoint{f.at.x, f.at.y, false, 0, 0});
    f.in = {0, 0};
    f.first_out = {0, 0};
    f.open = true;
    return 0;
}

int on_line(const FT_Vector *to, void *user) {
    Flattener &f = *static_cast<Flattener *>(user);
    if (f.points > kMaxOutlinePoints) return 1; // stops the walk
    Vec p = to_cap(f, to);
    Vec d = unit(p - f.at);
    if (is_zero(d)) return 0;
    join(f, d);
    add_point(f, p, false, d);
    f.in = d;
    return 0;
}

// Cuts a Bezier curve of degree 2 or 3 (control points c[0..degree]) into chords.
void flatten_curve(Flattener &f, const Vec *c, int degree) {
    Vec start_dir, end_dir;
    double bend; // bounds the second derivative: the chords' deviation is bend / (8 n^2)
    if (degree == 2) {
        start_dir = first_direction({c[1] - c[0], c[2] - c[0]});
        end_dir = first_direction({c[2] - c[1], c[2] - c[0]});
        bend = 2 * length(c[0] - 2 * c[1] + c[2]);
    } else {
        start_dir = first_direction({c[1] - c[0], c[2] - c[0], c[3] - c[0]});
        end_dir = first_direction({c[3] - c[2], c[3] - c[1], c[3] - c[0]});
        bend = 6 * std::max(length(c[0] - 2 * c[1] + c[2]), length(c[1] - 2 * c[2] + c[3]));
    }
    if (is_zero(start_dir)) return; // every control point in one place
    int pieces = int(std::ceil(std::sqrt(bend / (8 * kFontFlatness))));
    pieces = std::min(std::max(pieces, 1), kMaxCurvePieces);
    join(f, start_dir);
    for (int i = 1; i < pieces; i++) {
        double u = double(i) / pieces, v = 1 - u;
        Vec p, d;
        if (degree == 2) {
            p = (v * v) * c[0] + (2 * u * v) * c[1] + (u * u) * c[2];
            d = v * (c[1] - c[0]) + u * (c[2] - c[1]);
        } else {
            p = (v * v * v) * c[0] + (3 * u * v * v) * c[1] + (3 * u * u * v) * c[2] + (u * u * u) * c[3];
            d = (v * v) * (c[1] - c[0]) + (2 * u * v) * (c[2] - c[1]) + (u * u) * (c[3] - c[2]);
        }
        // Where the derivative vanishes (a cusp) the chord gives the direction.
        Vec dir = first_direction({d, p - f.at});
        add_point(f, p, true, dir);
    }
    add_point(f, c[degree], false, end_dir);
    f.in = end_dir;
}

int on_conic(const FT_Vector *control, const FT_Vector *to, void *user) {
    Flattener &f = *static_cast<Flattener *>(user);
    if (f.points > kMaxOutlinePoints) return 1; // stops the walk
    Vec c[3] = {f.at, to_cap(f, control), to_cap(f, to)};
    flatten_curve(f, c, 2);
    return 0;
}

int on_cubic(const FT_Vector *control1, const FT_Vector *control2, const FT_Vector *to, void *user) {
    Flattener &f = *static_cast<Flattener *>(user);
    if (f.points > kMaxOutlinePoints) return 1; // stops the walk
    Vec c[4] = {f.at, to_cap(f, control1), to_cap(f, control2), to_cap(f, to)};
    flatten_curve(f, c, 3);
    return 0;
}

// What the tessellator's callbacks fill in. Vertex data pointers carry cap point numbers + 1.
struct Tessellation {
    std::vector<double> *points;
    std::vector<uint32_t> *triangles;
    GLenum primitive = 0;
    std::vector<uint32_t> run; // the vertices of the current primitive
    GLenum error = 0;
};

void *point_tag(uint32_t index) {
    return reinterpret_cast<void *>(uintptr_t(index) + 1);
}
uint32_t point_of(void *tag) {
    return uint32_t(reinterpret_cast<uintptr_t>(tag) - 1);
}

void GLAPIENTRY tess_begin(GLenum primitive, void *user) {
    Tessellation &t = *static_cast<Tessellation *>(user);
    t.primitive = primitive;
    t.run.clear();
}

void GLAPIENTRY tess_vertex(void *vertex, void *user) {
    static_cast<Tessellation *>(user)->run.push_back(point_of(vertex));
}

// With an edge flag callback the tessellator gives plain triangles; fans and strips are taken apart
// all the same, should a library send them.
void GLAPIENTRY tess_end(void *user) {
    Tessellation &t = *static_cast<Tessellation *>(user);
    const std::vector<uint32_t> &r = t.run;
    for (size_t i = 2; i < r.size(); i++) {
        uint32_t a, b, c;
        if (t.primitive == GL_TRIANGLES) {
            if (i % 3 != 2) continue;
            a = r[i - 2], b = r[i - 1], c = r[i];
        } else if (t.primitive == GL_TRIANGLE_FAN) {
            a = r[0], b = r[i - 1], c = r[i];
        } else if (i % 2 == 0) { // GL_TRIANGLE_STRIP keeps its turn by swapping every other one
            a = r[i - 2], b = r[i - 1], c = r[i];
        } else {
            a = r[i - 1], b = r[i - 2], c = r[i];
        }
        t.triangles->insert(t.triangles->end(), {a, b, c});
    }
}

void GLAPIENTRY tess_edge_flag(GLboolean, void *) {}

void GLAPIENTRY tess_combine(GLdouble coords[3], void *[4], GLfloat[4], void **out, void *user) {
    Tessellation &t = *static_cast<Tessellation *>(user);
    uint32_t index = uint32_t(t.points->size() / 2);
    t.points->push_back(coords[0]);
    t.points->push_back(coords[1]);
    *out = point_tag(index);
}

void GLAPIENTRY tess_error(GLenum error, void *user) {
    static_cast<Tessellation *>(user)->error = error;
}

// Fills the contours' area into shape->cap_points and cap_triangles, counter-clockwise from +z.
bool triangulate(GlyphShape *shape, bool even_odd, std::string *error) {
    shape->cap_points.clear();
    shape->cap_triangles.clear();
    for (const std::vector<OutlinePoint> &c : shape->contours)
        for (const OutlinePoint &p : c) {
            shape->cap_points.push_back(p.x);
            shape->cap_points.push_back(p.y);
        }
    if (shape->contours.empty()) return true;
    GLUtesselator *tess = gluNewTess();
    if (!tess) {
        *error = "the tessellator cannot be made";
        return false;
    }
    Tessellation t;
    t.points = &shape->cap_points;
    t.triangles = &shape->cap_triangles;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(tess_begin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(tess_vertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(tess_end));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(tess_edge_flag));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(tess_combine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(tess_error));
    // Both TrueType and CFF fill by the non-zero rule (their outer contours merely turn opposite
    // ways); a few older formats ask for even-odd.
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, even_odd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    // The tessellator keeps its own copy of the coordinates it is given.
    uint32_t index = 0;
    gluTessBeginPolygon(tess, &t);
    for (const std::vector<OutlinePoint> &c : shape->contours) {
        gluTessBeginContour(tess);
        for (const OutlinePoint &p : c) {
            GLdouble xyz[3] = {p.x, p.y, 0};
            gluTessVertex(tess, xyz, point_tag(index++));
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (t.error) {
        const GLubyte *what = gluErrorString(t.error);
        *error = std::string("the tessellator failed: ") +
                 (what ? reinterpret_cast<const char *>(what) : std::to_string(t.error).c_str());
        return false;
    }
    // The tessellator turns every triangle the same way; make that way counter-clockwise.
    double area = 0;
    const std::vector<double> &q = shape->cap_points;
    std::vector<uint32_t> &tri = shape->cap_triangles;
    for (size_t i = 0; i + 2 < tri.size(); i += 3) {
        const double *a = &q[2 * tri[i]], *b = &q[2 * tri[i + 1]], *c = &q[2 * tri[i + 2]];
        area += (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
    }
    if (area < 0)
        for (size_t i = 0; i + 2 < tri.size(); i += 3)
            std::swap(tri[i + 1], tri[i + 2]);
    return true;
}

} // namespace

FontFile *font_file_open(const char *path, std::string *error) {
    FontFile *font = new FontFile();
    FT_Error e = FT_Init_FreeType(&font->library);
    if (e) {
        delete font;
        *error = "FreeType cannot start";
        return nullptr;
    }
    e = FT_New_Face(font->library, path, 0, &font->face);
    if (e) {
        *error = freetype_reason(e);
        font->face = nullptr;
        font_file_close(font);
        return nullptr;
    }
    FT_Face face = font->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        *error = "has no outlines (a bitmap font)";
        font_file_close(font);
        return nullptr;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
        *error = "has no Unicode character map";
        font_file_close(font);
        return nullptr;
    }
    FontInfo &info = font->info;
    info.family = face->family_name ? face->family_name : "";
    info.style = face->style_name ? face->style_name : "";
    info.units_per_em = face->units_per_EM;
    const char *format = FT_Get_Font_Format(face);
    info.format = format ? format : "unknown";
    const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    // sCapHeight exists from version 2 of the table; FreeType marks a missing table 0xFFFF.
    // A cap height outside a tenth of an em to two ems is a mistake in the font: H tells better.
    if (os2 && os2->version >= 2 && os2->version != 0xFFFF && os2->sCapHeight * 10 >= face->units_per_EM &&
        os2->sCapHeight <= 2 * face->units_per_EM) {
        info.cap_height_units = os2->sCapHeight;
        info.cap_height_source = "OS/2 sCapHeight";
    } else if (double h = height_of_h(face); h > 0) {
        info.cap_height_units = h;
        info.cap_height_source = "the height of H";
    } else {
        info.cap_height_units = 0.7 * face->units_per_EM;
        info.cap_height_source = "0.7 em (estimated: no cap height and no H)";
    }
    return font;
}

void font_file_close(FontFile *font) {
    if (!font) return;
    if (font->face) FT_Done_Face(font->face);
    FT_Done_FreeType(font->library);
    delete font;
}

const FontInfo &font_file_info(const FontFile *font) {
    return font->info;
}

uint32_t font_file_glyph_index(const FontFile *font, uint32_t codepoint) {
    return FT_Get_Char_Index(font->face, codepoint);
}

bool font_file_glyph_shape(FontFile *font, uint32_t glyph_index, GlyphShape *out, std::string *error) {
    *out = GlyphShape();
    FT_Error e = FT_Load_Glyph(font->face, glyph_index, kLoadFlags);
    if (e) {
        *error = "FreeType cannot load it (error " + std::to_string(e) + ")";
        return false;
    }
    FT_GlyphSlot slot = font->face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) {
        *error = "it is not an outline";
        return false;
    }
    double scale = 1.0 / font->info.cap_height_units;
    out->advance = double(slot->metrics.horiAdvance) * scale;
    out->left_bearing = double(slot->metrics.horiBearingX) * scale;
    FT_Outline *outline = &slot->outline;
    FT_Orientation orientation = FT_Outline_Get_Orientation(outline);
    if (orientation == FT_ORIENTATION_NONE) // nothing with an area to tell by: the format's own rule
        out->fill_right = !(outline->flags & FT_OUTLINE_REVERSE_FILL);
    else
        out->fill_right = orientation == FT_ORIENTATION_TRUETYPE;

    Flattener f;
    f.scale = scale;
    f.shift_x = out->left_bearing;
    f.shape = out;
    FT_Outline_Funcs funcs = {};
    funcs.move_to = on_move;
    funcs.line_to = on_line;
    funcs.conic_to = on_conic;
    funcs.cubic_to = on_cubic;
    e = FT_Outline_Decompose(outline, &funcs, &f);
    finish_contour(f);
    if (f.points > kMaxOutlinePoints) {
        *error = "its outline has more points than a model holds vertices";
        return false;
    }
    if (e) {
        *error = "its outline is damaged (FreeType error " + std::to_string(e) + ")";
        return false;
    }
    return triangulate(out, (outline->flags & FT_OUTLINE_EVEN_ODD_FILL) != 0, error);
}

} // namespace tools
