// bvtool font --demo: a small demo that shows a line of text in the font just made, as a place to
// start from: the glyph models, one light, one material, the text item, and a camera that frames it.
#include "tools/bvtool.h"
#include "tools/tool_font.h"

#include "geometry/model_file.h"
#include "resources/object_list.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tools {

namespace fs = std::filesystem;

namespace {

constexpr double kFieldOfView = 60;    // degrees, vertical
constexpr double kAspect = 16.0 / 9.0; // the demo picture's
constexpr double kFillWidth = 0.8;     // of the picture's width the text may cover
constexpr double kFillHeight = 0.5;    // and of its height
constexpr double kPi = 3.14159265358979323846;

std::string number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", std::fabs(v) < 5e-7 ? 0.0 : v);
    return buffer;
}

std::string value(double v) {
    return "<v type=\"static\" value=\"" + number(v) + "\"/>";
}

std::string values(std::initializer_list<double> vs) {
    std::string s;
    for (double v : vs)
        s += value(v);
    return s;
}

// Where the text's glyphs land and what they cover, laid out by the engine's own pen rules.
struct TextBox {
    bool any = false;
    double min[2] = {0, 0}, max[2] = {0, 0};
};

TextBox text_box(const FontGlyphs &glyphs, const char *text) {
    TextBox box;
    geometry::Font font = {};
    resources::ObjectList *models = resources::object_list_create(sizeof(int));
    resources::ObjectList *materials = resources::object_list_create(sizeof(int));
    if (!models || !materials) {
        resources::object_list_free(models);
        resources::object_list_free(materials);
        return box;
    }
    resources::object_list_add(materials);
    for (int g = 0; g < geometry::kFontGlyphCount; g++) {
        const FontGlyph &f = glyphs.glyph[g];
        font.model[g] = f.has_model ? resources::object_list_add(models) : 0;
        font.material[g] = 1;
        font.offset[g] = float(f.offset);
        font.width[g] = float(f.width);
    }
    geometry::GlyphPlacement placed[geometry::kTextMaxBytes];
    uint32_t count = geometry::font_layout(&font, text, models, materials, placed);
    for (uint32_t i = 0; i < count; i++) {
        const FontGlyph &f = glyphs.glyph[placed[i].glyph];
        double x0 = placed[i].pen_x + f.ink_min[0], x1 = placed[i].pen_x + f.ink_max[0];
        if (!box.any) {
            box = {true, {x0, f.ink_min[1]}, {x1, f.ink_max[1]}};
            continue;
        }
        box.min[0] = std::min(box.min[0], x0);
        box.max[0] = std::max(box.max[0], x1);
        box.min[1] = std::min(box.min[1], double(f.ink_min[1]));
        box.max[1] = std::max(box.max[1], double(f.ink_max[1]));
    }
    resources::object_list_free(models);
    resources::object_list_free(materials);
    return box;
}

bool write_text(const fs::path &path, const std::string &text) {
    return tool_write_whole(path.string().c_str(), reinterpret_cast<const uint8_t *>(text.data()),
                            static_cast<uint32_t>(text.size()));
}

// The loading bar: a square from -0.5 to 0.5 facing +z.
bool write_bar_model(const fs::path &path) {
    const float positions[12] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
    const float texcoords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    const float normals[12] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    uint32_t size = 0;
    uint8_t *packed = geometry::model_file_pack({positions, texcoords, normals, 4, indices, 6}, &size);
    bool ok = packed && tool_write_whole(path.string().c_str(), packed, size);
    std::free(packed);
    return ok;
}

std::string loading_xml() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- The loading screen: a bar that grows while the demo loads (its time runs from 0 to 100). "
           "-->\n"
           "<loading>\n"
           "  <texture_layers/>\n  <procedural_textures/>\n"
           "  <models>\n    <model name=\"bar\" filename=\"bar.mdl\"/>\n  </models>\n"
           "  <functions>\n"
           "    <!-- progress: the bar's width, 0 to 0.8 of the screen -->\n"
           "    <function name=\"progress\" type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\">"
           "<s type=\"1\" length=\"100\"><p>0.008</p><p>0</p></s></function>\n"
           "  </functions>\n"
           "  <lights/>\n  <effects2d/>\n  <bitmaps/>\n  <cubemaps/>\n  <fonts/>\n  <texture_slots/>\n"
           "  <materials>\n"
           "    <material name=\"bar\"><blend_function value=\"2\"/><red type=\"static\" value=\"0.9\"/>"
           "<green type=\"static\" value=\"0.8\"/><blue type=\"static\" value=\"0.6\"/>"
           "<alpha type=\"static\" value=\"1\"/></material>\n"
           "  </materials>\n"
           "  <mesh_effects/>\n"
           "  <objects>\n"
           "    <!-- the bar in the middle of the screen (the orthographic view runs 0..1, y downwards) -->\n"
           "    <object name=\"bar\"><item type=\"0\" object=\"@bar\" material=\"@bar\">\n"
           "      " +
           values({0.5, 0.5, 0}) + "\n      " + values({0, 0, 0}) +
           "\n      <v type=\"dynamic\" value=\"@progress\"/>" + values({0.03, 1}) +
           "\n      <visibility value=\"0\"/><time_offset value=\"0\"/><face_camera value=\"0\"/>\n"
           "    </item></object>\n"
           "  </objects>\n"
           "  <timeline>\n"
           "    <slot>\n"
           "      <layer id=\"@bar\" space_before=\"0\" length=\"100\" offset=\"0\" type=\"0\" "
           "clearcolor=\"0\" "
           "clearcolorbuffer=\"1\" clearzbuffer=\"1\">\n"
           "        " +
           values({0, 0, 0}) + "\n        " + values({0, 0, 0}) +
           "\n        <v type=\"ortographic\" value=\"0\"/>" + values({1, 1}) +
           "\n      </layer>\n"
           "    </slot>\n"
           "  </timeline>\n"
           "</loading>\n";
}

} // namespace

std::string demo_text_problem(const char *text) {
    size_t n = std::strlen(text);
    if (n == 0) return "the text is empty";
    if (n > size_t(geometry::kTextMaxBytes))
        return "the text is " + std::to_string(n) + " bytes long; a text item holds at most " +
               std::to_string(geometry::kTextMaxBytes) + " (accented letters take two)";
    // The player reads attribute values as they stand (no &amp;), and a raw & is not XML.
    if (std::strchr(text, '&'))
        return "a document's text cannot hold \"&\": the player draws &amp; as it stands, and a bare & is "
               "not XML";
    for (size_t j = 0; j < n; j++) {
        size_t first = j;
        uint8_t g = geometry::font_glyph_of_byte(uint8_t(text[j]));
        if (g == geometry::kGlyphLeadMarker) {
            j++;
            g = j < n ? geometry::font_glyph_of_second_byte(uint8_t(text[j])) : geometry::kGlyphNone;
        }
        if (g >= geometry::kFontGlyphCount) {
            size_t len = 1;
            while (first + len < n && (uint8_t(text[first + len]) & 0xC0) == 0x80)
                len++;
            return "\"" + std::string(text + first, len) +
                   "\" is not in the glyph map: the engine would skip it";
        }
    }
    return "";
}

bool demo_write(const fs::path &folder, const FontGlyphs &glyphs, const std::string &material,
                const char *text, std::string *error) {
    TextBox box = text_box(glyphs, text);
    if (!box.any) {
        *error = "none of the text's glyphs has a model";
        return false;
    }
    std::string material_name = material[0] == '@' ? material.substr(1) : "text";
    // The text's ink is centred on the origin; the camera looks down -z from where the ink fills
    // at most kFillWidth of the picture's width and kFillHeight of its height.
    double width = box.max[0] - box.min[0], height = box.max[1] - box.min[1];
    double x = -(box.min[0] + box.max[0]) / 2, y = -(box.min[1] + box.max[1]) / 2;
    double half_view = std::tan(kFieldOfView / 2 * kPi / 180);
    double distance =
        std::max(width / (kFillWidth * 2 * half_view * kAspect), height / (kFillHeight * 2 * half_view));
    double camera_z = std::ceil((distance + glyphs.depth / 2) * 100) / 100;

    std::string d = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--\n";
    d += "  \"" + comment_text(text) +
         "\" in the glyphs made by bvtool font, lit and centred; times are hundredths\n"
         "  of a second. Records refer to each other by name (@name). To show other text, change the\n"
         "  item's text (at most 31 bytes) and its position (it sets where the line starts).\n-->\n";
    d += "<demo>\n  <texture_layers/>\n  <procedural_textures/>\n  <models>\n";
    d += model_records_xml(glyphs, "    ");
    d += "  </models>\n  <functions/>\n  <lights>\n";
    d += "    <!-- key: a white light above, left of and in front of the text -->\n";
    d += "    <light name=\"key\">" +
         values({0.25, 0.25, 0.25, 0.9, 0.9, 0.9, -camera_z / 2, camera_z / 2, camera_z}) + "</light>\n";
    d += "    <!-- background: its diffuse colour clears the window -->\n";
    d += "    <light name=\"background\">" + values({0, 0, 0, 0.04, 0.05, 0.1, 0, 0, 0}) + "</light>\n";
    d += "  </lights>\n  <effects2d/>\n  <bitmaps/>\n  <cubemaps/>\n  <fonts>\n";
    d += font_record_xml(glyphs, "@" + material_name, "    ");
    d += "  </fonts>\n  <texture_slots/>\n  <materials>\n";
    d += "    <!-- " + comment_text(material_name) + ": lit, opaque, warm white -->\n";
    d += "    <material name=\"" + material_name +
         "\">"
         "<backface_culling value=\"1\"/><depth_test value=\"1\"/><normalization value=\"1\"/>"
         "<blend_function value=\"2\"/><red type=\"static\" value=\"1\"/><green type=\"static\" "
         "value=\"0.85\"/>"
         "<blue type=\"static\" value=\"0.55\"/><alpha type=\"static\" value=\"1\"/><light1 value=\"@key\"/>"
         "</material>\n";
    d += "  </materials>\n  <mesh_effects/>\n  <objects>\n";
    d += "    <!-- title: the line of text; its position puts the middle of the ink at the origin -->\n";
    d += "    <object name=\"title\">\n      <item type=\"2\" font=\"@" + glyphs.font_name + "\" text=\"" +
         std::string(text) + "\">\n";
    d += "        " + values({x, y, 0}) + "\n        " + values({0, 0, 0}) + "\n        " +
         values({1, 1, 1}) + "\n";
    d += "        <visibility value=\"0\"/><time_offset value=\"0\"/><face_camera value=\"0\"/>\n";
    d += "      </item>\n    </object>\n  </objects>\n";
    d += "  <timeline>\n    <slot>\n";
    d +=
        "      <!-- ten seconds of the title, the camera " + number(camera_z) + " units in front of it -->\n";
    d += "      <layer id=\"@title\" space_before=\"0\" length=\"1000\" offset=\"0\" type=\"0\" "
         "clearcolor=\"@background\" clearcolorbuffer=\"1\" clearzbuffer=\"1\">\n";
    d += "        " + values({0, 0, camera_z}) + "\n        " + values({0, 0, 0}) + "\n        " +
         values({kFieldOfView, 100}) + "<v type=\"static\" value=\"1.7777778\"/>\n";
    d += "      </layer>\n    </slot>\n  </timeline>\n  <music/>\n</demo>\n";

    if (!write_text(folder / "demo.xml", d) || !write_text(folder / "loading.xml", loading_xml()) ||
        !write_bar_model(folder / "bar.mdl")) {
        *error = "cannot write the demo into " + folder.string();
        return false;
    }
    return true;
}

} // namespace tools
