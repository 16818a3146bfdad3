// bvtool font: glyph models from a TrueType or OpenType font for every glyph of the engine's font,
// and the records that use them (font.xml), optionally with a small demo that shows a line of text.
#include "tools/bvtool.h"
#include "tools/font_mesh.h"
#include "tools/font_outline.h"
#include "tools/tool_font.h"

#include "geometry/font.h"
#include "scene/document_schema.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tools {

namespace fs = std::filesystem;

namespace {

// Readable names of the characters of the glyph map that are not a plain letter or digit: the
// names type designers give them.
struct CharacterName {
    uint32_t codepoint;
    const char *name;
};
constexpr CharacterName kCharacterNames[] = {
    {0xE1, "aacute"},    {0xC1, "Aacute"},    {0xE9, "eacute"},         {0xC9, "Eacute"},
    {0xED, "iacute"},    {0xCD, "Iacute"},    {0xF3, "oacute"},         {0xD3, "Oacute"},
    {0xF6, "odieresis"}, {0xD6, "Odieresis"}, {0x151, "ohungarumlaut"}, {0x150, "Ohungarumlaut"},
    {0x159, "rcaron"},   {0x158, "Rcaron"},   {0xFA, "uacute"},         {0xDA, "Uacute"},
    {0xFC, "udieresis"}, {0xDC, "Udieresis"}, {0x171, "uhungarumlaut"}, {0x170, "Uhungarumlaut"},
    {'?', "question"},   {'!', "exclam"},     {'&', "ampersand"},       {'/', "slash"},
    {' ', "space"},
};

// Decodes one UTF-8 sequence at s; returns its length (0 at the end or on a malformed sequence).
size_t utf8_decode(const char *s, uint32_t *codepoint) {
    const uint8_t *u = reinterpret_cast<const uint8_t *>(s);
    if (!u[0]) return 0;
    if (u[0] < 0x80) {
        *codepoint = u[0];
        return 1;
    }
    int extra = u[0] >= 0xF0 ? 3 : u[0] >= 0xE0 ? 2 : u[0] >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0;
    uint32_t c = u[0] & (0x3F >> extra);
    for (int i = 1; i <= extra; i++) {
        if ((u[i] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (u[i] & 0x3F);
    }
    *codepoint = c;
    return size_t(extra) + 1;
}

std::string utf8_encode(uint32_t c) {
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | (c >> 6));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

// The character each glyph number stands for, read from the glyph map's own names: a name of one
// character is that character; the others ("space") are found through the byte table.
uint32_t glyph_codepoint(int g) {
    const char *name = scene::kGlyphNames[g];
    uint32_t c = 0;
    size_t n = utf8_decode(name, &c);
    if (n && !name[n]) return c;
    for (uint32_t b = 32; b < 128; b++)
        if (geometry::font_glyph_of_byte(uint8_t(b)) == g) return b;
    return 0;
}

std::string glyph_readable_name(uint32_t codepoint) {
    if ((codepoint >= 'a' && codepoint <= 'z') || (codepoint >= 'A' && codepoint <= 'Z') ||
        (codepoint >= '0' && codepoint <= '9'))
        return std::string(1, char(codepoint));
    for (const CharacterName &n : kCharacterNames)
        if (n.codepoint == codepoint) return n.name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "u%04X", codepoint);
    return buffer;
}

// A record name made of the font's names: lower-case letters and digits joined by underscores.
std::string name_from(const std::string &text) {
    std::string out;
    for (char ch : text) {
        if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9'))
            out += ch;
        else if (ch >= 'A' && ch <= 'Z')
            out += char(ch - 'A' + 'a');
        else if (!out.empty() && out.back() != '_')
            out += '_';
    }
    while (!out.empty() && out.back() == '_')
        out.pop_back();
    return out;
}

std::string font_record_name(const FontInfo &info) {
    std::string name = name_from(info.family);
    const char *plain[] = {"Regular", "Book", "Normal", "Roman", ""};
    bool is_plain = false;
    for (const char *p : plain)
        is_plain = is_plain || info.style == p;
    if (!is_plain) name += (name.empty() ? "" : "_") + name_from(info.style);
    return name.empty() ? "font" : name;
}

struct Options {
    const char *font_path = nullptr;
    const char *out_dir = nullptr;
    const char *chars = nullptr;
    double depth = 0;
    std::string material = "1";
    const char *demo_text = nullptr;
};

// The argument parser's verdict: "" when the arguments are good, else the reason.
std::string parse(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        bool has_value = i + 1 < argc;
        if (std::strcmp(a, "--chars") == 0 && has_value) {
            o->chars = argv[++i];
        } else if (std::strcmp(a, "--depth") == 0 && has_value) {
            char *end = nullptr;
            o->depth = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end || !std::isfinite(o->depth) || o->depth < 0 || o->depth > 1000)
                return std::string("--depth takes a number from 0 (flat) up, in cap heights, not \"") +
                       argv[i] + "\"";
        } else if (std::strcmp(a, "--material") == 0 && has_value) {
            const char *m = argv[++i];
            char *end = nullptr;
            long n = m[0] == '@' ? 0 : std::strtol(m, &end, 10);
            bool good = m[0] == '@' ? m[1] != 0 && !std::strpbrk(m, "\"<>&")
                                    : end != m && !*end && n >= 1 && n <= 4096;
            if (!good)
                return std::string(
                           "--material takes @name (without \" < > &) or a material number from 1, not \"") +
                       m + "\"";
            o->material = m;
        } else if (std::strcmp(a, "--demo") == 0 && has_value) {
            o->demo_text = argv[++i];
        } else if (a[0] == '-' && a[1]) {
            return std::string("unknown option or missing value: ") + a;
        } else if (!o->font_path) {
            o->font_path = a;
        } else if (!o->out_dir) {
            o->out_dir = a;
        } else {
            return std::string("unexpected argument: ") + a;
        }
    }
    if (!o->out_dir) return "expected FONT and OUTDIR";
    return "";
}

// The glyph numbers a string asks for; characters outside the glyph map go to `outside`.
void glyphs_of(const char *text, bool chosen[geometry::kFontGlyphCount], const uint32_t *codepoints,
               std::string *outside) {
    const char *s = text;
    while (*s) {
        uint32_t c = 0;
        size_t n = utf8_decode(s, &c);
        if (!n) {
            *outside += " (a byte that is not UTF-8)";
            s++;
            continue;
        }
        bool found = false;
        for (int g = 0; g < geometry::kFontGlyphCount; g++)
            if (codepoints[g] == c) chosen[g] = found = true;
        if (!found) *outside += " " + std::string(s, n);
        s += n;
    }
}

std::string number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", std::fabs(v) < 5e-7 ? 0.0 : v);
    return buffer;
}

bool write_text(const fs::path &path, const std::string &text) {
    return tool_write_whole(path.string().c_str(), reinterpret_cast<const uint8_t *>(text.data()),
                            static_cast<uint32_t>(text.size()));
}

std::string font_xml(const FontInfo &info, const char *font_file, const FontGlyphs &glyphs,
                     const Options &o) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--\n";
    x += "  Glyphs of " + comment_text(info.family + " " + info.style) + " (" +
         comment_text(fs::path(font_file).filename().string()) + "), made by bvtool font: ";
    x += o.depth > 0 ? "extruded " + number(o.depth) + " deep" : std::string("flat");
    x += ", in text units: the cap height is 1.\n";
    x += "  The <model> records go into your document's <models> section (section 3), with the .mdl\n"
         "  files beside it; the <font> record goes into its <fonts> section (section 9). Every glyph\n"
         "  is drawn with material " +
         comment_text(o.material) + (o.material == "1" ? " (change it to yours)" : "") +
         ". Glyphs the font lacks have no model and do not move the pen.\n-->\n";
    x += "<font_records>\n  <models>\n";
    x += model_records_xml(glyphs, "    ");
    x += "  </models>\n  <fonts>\n";
    x += font_record_xml(glyphs, o.material, "    ");
    x += "  </fonts>\n</font_records>\n";
    return x;
}

} // namespace

std::string comment_text(const std::string &s) {
    std::string out;
    for (char ch : s) {
        if (ch == '-' && !out.empty() && out.back() == '-') out += ' ';
        out += ch;
    }
    return out;
}

std::string model_records_xml(const FontGlyphs &glyphs, const char *indent) {
    std::string x;
    for (const FontGlyph &g : glyphs.glyph)
        if (g.has_model)
            x += std::string(indent) + "<model name=\"" + g.model_name + "\" filename=\"" + g.file_name +
                 "\"/>\n";
    return x;
}

std::string font_record_xml(const FontGlyphs &glyphs, const std::string &material, const char *indent) {
    std::string in = indent;
    std::string x = in + "<font name=\"" + glyphs.font_name + "\">\n";
    for (int g = 0; g < geometry::kFontGlyphCount; g++) {
        const FontGlyph &f = glyphs.glyph[g];
        x += in + "  <glyph model=\"" + (f.has_model ? "@" + f.model_name : std::string("0")) +
             "\" material=\"" + material + "\" bitmap=\"0\" offset=\"" + number(f.offset) + "\" width=\"" +
             number(f.width) + "\"/> <!-- " + std::to_string(g) + ": " + scene::kGlyphNames[g] +
             (f.in_font ? "" : ", not in the font") + " -->\n";
    }
    return x + in + "</font>\n";
}

int tool_font(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::string map;
        for (int g = 0; g < geometry::kFontGlyphCount; g++)
            map += std::string(g % 29 ? " " : "\n  ") + scene::kGlyphNames[g];
        std::printf(
            "usage: bvtool font FONT.ttf|.otf OUTDIR [--chars TEXT] [--depth D] [--material @name|N]\n"
            "                  [--demo TEXT]\n"
            "Makes a model for every glyph of the engine's font that the font has, or only for the\n"
            "characters of --chars, and font.xml: the model records and the font record to paste into\n"
            "a demo document, glyphs referring to models by @name. The glyphs, in order:%s\n"
            "The models are sized so that the font's cap height is 1 (OS/2 sCapHeight, else the height\n"
            "of H); each glyph's offset and width come from its left side bearing and advance. Curves\n"
            "are flattened to within %g of the cap height and filled by GLU's tessellator.\n"
            "  --depth D        extrude the glyphs D cap heights deep (front face at z = D/2, facing\n"
            "                   the camera; walls shaded smooth along curves, sharp at corners);\n"
            "                   0, the default, makes flat faces at z = 0\n"
            "  --material M     the material every glyph names (@name or a number; default 1)\n"
            "  --demo TEXT      also write demo.xml and loading.xml into OUTDIR: a demo that shows TEXT\n"
            "                   (at most %d bytes of UTF-8) in this font, lit and centred\n"
            "Glyphs the font lacks are listed on standard error and left without a model.\n"
            "Exit status: 0 done; 2 bad arguments, or a font file that cannot be used (a damaged one:\n"
            "what could be made is written all the same).\n",
            map.c_str(), kFontFlatness, geometry::kTextMaxBytes);
        return 0;
    }
    auto started = std::chrono::steady_clock::now();
    Options o;
    std::string bad = parse(argc, argv, &o);
    if (!bad.empty()) {
        tool_fail("font: %s (see bvtool font --help)", bad.c_str());
        return 2;
    }

    uint32_t codepoints[geometry::kFontGlyphCount];
    for (int g = 0; g < geometry::kFontGlyphCount; g++)
        codepoints[g] = glyph_codepoint(g);
    bool chosen[geometry::kFontGlyphCount];
    std::string outside;
    for (bool &c : chosen)
        c = !o.chars;
    if (o.chars) glyphs_of(o.chars, chosen, codepoints, &outside);
    if (!outside.empty())
        std::fprintf(stderr, "bvtool: font: not in the glyph map, so the engine skips them:%s\n",
                     outside.c_str());
    if (o.demo_text) {
        std::string why = demo_text_problem(o.demo_text);
        if (!why.empty()) {
            tool_fail("font: --demo: %s", why.c_str());
            return 2;
        }
        std::string none;
        glyphs_of(o.demo_text, chosen, codepoints, &none);
    }

    std::string error;
    FontFile *font = font_file_open(o.font_path, &error);
    if (!font) {
        tool_fail("font: %s %s", o.font_path, error.c_str());
        return 2;
    }
    const FontInfo info = font_file_info(font); // a copy: the font is closed before the end
    std::error_code ec;
    fs::path out = o.out_dir;
    fs::create_directories(out, ec);
    if (!fs::is_directory(out, ec)) {
        font_file_close(font);
        tool_fail("font: cannot make the folder %s", o.out_dir);
        return 2;
    }

    FontGlyphs glyphs;
    glyphs.font_name = font_record_name(info);
    glyphs.depth = o.depth;
    std::string lacking, failed;
    uint64_t triangles = 0;
    int models = 0;
    for (int g = 0; g < geometry::kFontGlyphCount; g++) {
        FontGlyph &f = glyphs.glyph[g];
        std::string readable = glyph_readable_name(codepoints[g]);
        f.model_name = "glyph_" + readable;
        char file[40];
        std::snprintf(file, sizeof file, "glyph%02d_%s.mdl", g, readable.c_str());
        f.file_name = file;
        uint32_t index = font_file_glyph_index(font, codepoints[g]);
        f.in_font = index != 0;
        if (!f.in_font) {
            lacking += std::string(" ") + scene::kGlyphNames[g];
            continue;
        }
        GlyphShape shape;
        if (!font_file_glyph_shape(font, index, &shape, &error)) {
            failed += " " + utf8_encode(codepoints[g]) + " (" + error + ")";
            continue;
        }
        f.width = shape.advance;
        f.offset = -shape.left_bearing;
        if (!chosen[g] || shape.cap_triangles.empty()) continue;
        GlyphMesh mesh;
        glyph_mesh_build(shape, o.depth, &mesh);
        uint32_t size = 0;
        uint8_t *packed = glyph_mesh_pack(mesh, &size);
        if (!packed) {
            failed += " " + utf8_encode(codepoints[g]) + " (more than 65535 vertices)";
            continue;
        }
        bool ok = tool_write_whole((out / f.file_name).string().c_str(), packed, size);
        std::free(packed);
        if (!ok) {
            font_file_close(font);
            tool_fail("font: cannot write %s", (out / f.file_name).string().c_str());
            return 2;
        }
        f.has_model = true;
        f.ink_min[0] = f.ink_max[0] = float(shape.cap_points[0]);
        f.ink_min[1] = f.ink_max[1] = float(shape.cap_points[1]);
        for (size_t i = 0; i + 1 < shape.cap_points.size(); i += 2)
            for (int axis = 0; axis < 2; axis++) {
                f.ink_min[axis] = std::fmin(f.ink_min[axis], float(shape.cap_points[i + axis]));
                f.ink_max[axis] = std::fmax(f.ink_max[axis], float(shape.cap_points[i + axis]));
            }
        triangles += mesh.indices.size() / 3;
        models++;
    }
    font_file_close(font);

    std::string family = info.family + " " + info.style;
    if (!lacking.empty())
        std::fprintf(stderr, "bvtool: font: %s lacks these glyphs of the map; they have no model:%s\n",
                     family.c_str(), lacking.c_str());
    if (!write_text(out / "font.xml", font_xml(info, o.font_path, glyphs, o))) {
        tool_fail("font: cannot write %s", (out / "font.xml").string().c_str());
        return 2;
    }
    if (o.demo_text && !demo_write(out, glyphs, o.material, o.demo_text, &error)) {
        tool_fail("font: --demo: %s", error.c_str());
        return 2;
    }

    if (!failed.empty()) { // a damaged font: what could be made is written all the same
        tool_fail("font: %s is damaged: these glyphs could not be made:%s", o.font_path, failed.c_str());
        return 2;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s (%s, cap height %g units from %s): %d glyph models, %s, %llu triangles, in %s (%.2f s)\n",
                family.c_str(), info.format.c_str(), info.cap_height_units, info.cap_height_source, models,
                o.depth > 0 ? ("extruded " + number(o.depth)).c_str() : "flat", (unsigned long long)triangles,
                o.out_dir, seconds);
    return 0;
}

} // namespace tools
