#include "geometry/font.h"
#include "resources/xml.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace geometry;

namespace {

TEST(Fonts, GlyphMapsForBytesAndTwoByteLetters) {
    const struct {
        uint8_t byte, glyph;
    } first[] = {{'a', 0},   {'A', 1},  {'b', 4},   {'o', 34},   {'P', 43},   {'s', 50},
                 {'z', 70},  {'Z', 71}, {'?', 72},  {'!', 73},   {'0', 74},   {'9', 83},
                 {'&', 84},  {'/', 85}, {' ', 86},  {0xC3, 100}, {0xC5, 100}, {',', 101},
                 {'.', 101}, {31, 101}, {198, 101}, {196, 101},  {0, 101}};
    for (const auto &c : first)
        EXPECT_EQ(font_glyph_of_byte(c.byte), c.glyph) << int(c.byte);
    const struct {
        uint8_t byte, glyph;
    } second[] = {{0x81, 3},  {0xA1, 2},  {0x89, 13}, {0xA9, 12},  {0x91, 40}, {0x90, 41}, {0xB1, 60},
                  {0x98, 49}, {0x99, 48}, {0xBC, 58}, {0x80, 101}, {0, 101},   {'a', 101}};
    for (const auto &c : second)
        EXPECT_EQ(font_glyph_of_second_byte(c.byte), c.glyph) << int(c.byte);
}

// A font whose glyphs all have width 1 and offset 0, a model and a material, but the space has no
// model; models and materials are lists with two records.
struct Layout {
    Font font = {};
    resources::ObjectList *models = resources::object_list_create(4);
    resources::ObjectList *materials = resources::object_list_create(4);
    Layout() {
        resources::object_list_add(models);
        resources::object_list_add(models);
        resources::object_list_add(materials);
        for (int g = 0; g < kFontGlyphCount; g++) {
            font.model[g] = 1;
            font.material[g] = 1;
            font.width[g] = 1.0f;
        }
        font.model[86] = 0;
    }
    ~Layout() {
        resources::object_list_free(models);
        resources::object_list_free(materials);
    }
    std::string run(const char *text) {
        GlyphPlacement out[kTextMaxBytes];
        uint32_t n = font_layout(&font, text, models, materials, out);
        std::string s;
        for (uint32_t i = 0; i < n; i++)
            s += std::to_string(out[i].glyph) + "@" + std::to_string(out[i].byte_position) + ":" +
                 std::to_string(out[i].pen_x).substr(0, 4) + " ";
        return s;
    }
};

TEST(Fonts, PenRules) {
    Layout l;
    EXPECT_EQ(l.run("Ab 1"), "1@1:0.00 4@2:1.00 75@4:3.00 "); // the space moves the pen undrawn
    EXPECT_EQ(l.run("a,.b"), "0@1:0.00 4@4:1.00 ");           // skipped bytes do not move it
    EXPECT_EQ(l.run("\xC5\x91"
                    "a"),
              "40@1:0.00 0@3:1.00 ");           // a two-byte letter is one glyph
    EXPECT_EQ(l.run("\xC3\x91"), "40@1:0.00 "); // whichever lead byte came first
    EXPECT_EQ(l.run("a\xC3"), "0@1:0.00 ");     // a lead byte at the end
    EXPECT_EQ(l.run(""), "");
    l.font.offset[4] = 0.25f;                               // b
    EXPECT_EQ(l.run("abc"), "0@1:0.00 4@2:0.75 6@3:2.00 "); // offset shifts only the glyph
    l.font.material[0] = 0;                                 // a: a model but no material
    l.font.offset[0] = 0.5f;
    EXPECT_EQ(l.run("ac"), "6@2:-0.5 "); // the pen stays moved back
    l.font.material[0] = 9;              // an index that names no material counts as none
    EXPECT_EQ(l.run("ac"), "6@2:-0.5 ");
    l.font.model[6] = 7; // c: a model index that names no record counts as no model
    EXPECT_EQ(l.run("cb"), "4@2:0.75 ");
}

TEST(Fonts, ReaderAndTextCuts) {
    std::string xml = "<f>";
    for (int g = 0; g < 90; g++)
        xml += "<g model=\"" + std::to_string(g) +
               "\" material=\"2\" bitmap=\"-3\" offset=\"0.5\" width=\"1.25\"/>";
    xml += "</f><f><g model=\"5\" width=\"2\"/></f>";
    resources::XmlNode *root = resources::xml_parse(("<s>" + xml + "</s>").c_str());
    resources::ObjectList *fonts = resources::object_list_create(sizeof(Font));
    for (const resources::XmlNode *f = root->first_child->first_child; f; f = f->next)
        font_read(fonts, f);
    const Font *full = resources::object_at<Font>(fonts, 1);
    EXPECT_EQ(full->model[86], 86); // children past the 87th are ignored
    EXPECT_EQ(full->bitmap[3], 0u); // a negative index names nothing
    EXPECT_FLOAT_EQ(full->width[40], 1.25f);
    const Font *short_font = resources::object_at<Font>(fonts, 2);
    EXPECT_EQ(short_font->model[0], 5);
    EXPECT_EQ(short_font->model[1], 0); // missing glyphs are empty
    EXPECT_EQ(short_font->width[1], 0.0f);
    resources::object_list_free(fonts);
    resources::xml_free(root);

    char field[kTextMaxBytes + 1];
    const std::string thirty(30, 'x');
    const struct {
        std::string in, out;
    } cuts[] = {
        {"short", "short"},
        {thirty + "y", thirty + "y"},
        {thirty + "yz", thirty + "y"}, // cut to 31
        {thirty + "\xC3\xA9", thirty}, // a split two-byte letter loses its lead byte
        {std::string(29, 'x') + "\xC3\xA9"
                                "z",
         std::string(29, 'x') + "\xC3\xA9"}, // a whole one stays
    };
    for (const auto &c : cuts) {
        font_copy_text(field, c.in.c_str());
        EXPECT_EQ(std::string(field), c.out) << c.in.size();
    }
}

} // namespace
