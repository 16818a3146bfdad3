#include "geometry/font.h"

#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cstring>

namespace geometry {

using resources::XmlNode;

namespace {

// Glyph order: a A á Á b B c C d D e E é É f F ... (see the second-byte table for the accents);
// the plain letters, digits and signs below.
constexpr char kLowerGlyphs[26] = {0,  4,  6,  8,  10, 14, 16, 18, 20, 24, 26, 28, 30,
                                   32, 34, 42, 44, 46, 50, 52, 54, 62, 64, 66, 68, 70};
static_assert(sizeof(kLowerGlyphs) == 26, "one glyph per letter");

struct SecondByte {
    uint8_t byte, glyph;
};
constexpr SecondByte kSecondBytes[] = {
    {0x81, 3},  {0x89, 13}, {0x8D, 23}, {0x90, 41}, {0x91, 40}, {0x93, 37}, {0x96, 39},
    {0x98, 49}, {0x99, 48}, {0x9A, 57}, {0x9C, 59}, {0xA1, 2},  {0xA9, 12}, {0xAD, 22},
    {0xB0, 61}, {0xB1, 60}, {0xB3, 36}, {0xB6, 38}, {0xBA, 56}, {0xBC, 58},
};
static_assert(sizeof(kSecondBytes) / sizeof(kSecondBytes[0]) == 20, "twenty accented letters");

} // namespace

uint8_t font_glyph_of_byte(uint8_t b) {
    if (b >= 'a' && b <= 'z') return static_cast<uint8_t>(kLowerGlyphs[b - 'a']);
    if (b >= 'A' && b <= 'Z') return static_cast<uint8_t>(kLowerGlyphs[b - 'A'] + 1);
    if (b >= '0' && b <= '9') return static_cast<uint8_t>(74 + (b - '0'));
    switch (b) {
    case '?': return 72;
    case '!': return 73;
    case '&': return 84;
    case '/': return 85;
    case ' ': return 86;
    case 0xC3:
    case 0xC5: return kGlyphLeadMarker;
    default: return kGlyphNone;
    }
}

uint8_t font_glyph_of_second_byte(uint8_t b) {
    for (const SecondByte &s : kSecondBytes)
        if (s.byte == b) return s.glyph;
    return kGlyphNone;
}

uint32_t font_read(resources::ObjectList *fonts, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(fonts);
    if (!slot) return 0;
    Font *f = static_cast<Font *>(fonts->record[slot - 1]);
    int g = 0;
    for (const XmlNode *c = element->first_child; c && g < kFontGlyphCount; c = c->next, g++) {
        f->model[g] = maths::convert_to_u16(resources::xml_attribute_int(c, "model"));
        f->material[g] = maths::convert_to_u16(resources::xml_attribute_int(c, "material"));
        int32_t bitmap = resources::xml_attribute_int(c, "bitmap");
        f->bitmap[g] = bitmap > 0 ? static_cast<uint32_t>(bitmap) : 0;
        f->offset[g] = resources::xml_attribute_float(c, "offset");
        f->width[g] = resources::xml_attribute_float(c, "width");
    }
    return slot;
}

uint32_t font_layout(const Font *font, const char *text, const resources::ObjectList *models,
                     const resources::ObjectList *materials, GlyphPlacement out[kTextMaxBytes]) {
    uint32_t count = 0;
    float x = 0.0f;
    size_t n = strnlen(text, kTextMaxBytes);
    for (size_t j = 0; j < n; j++) {
        size_t first = j;
        uint8_t g = font_glyph_of_byte(static_cast<uint8_t>(text[j]));
        if (g == kGlyphLeadMarker) {
            j++;
            // A lead byte at the end reads the terminating zero, which has no glyph.
            g = j < n ? font_glyph_of_second_byte(static_cast<uint8_t>(text[j])) : kGlyphNone;
        }
        if (g >= kFontGlyphCount) continue;
        x = x - font->offset[g];
        if (!resources::object_at<void>(models, font->model[g])) {
            x = x + font->width[g];
            continue;
        }
        if (!resources::object_at<void>(materials, font->material[g])) continue;
        out[count++] = GlyphPlacement{g, static_cast<uint8_t>(first + 1), x};
        x = x + font->width[g] + font->offset[g];
    }
    return count;
}

void font_copy_text(char out[kTextMaxBytes + 1], const char *text) {
    std::memset(out, 0, kTextMaxBytes + 1);
    if (!text) return;
    size_t n = strnlen(text, kTextMaxBytes + 1);
    if (n > kTextMaxBytes) {
        n = kTextMaxBytes; // byte n is the first one cut
        size_t start = n;
        while (start > 0 && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80)
            start--;
        // When the cut falls inside a sequence, its lead byte goes too.
        if (start < n && (static_cast<uint8_t>(text[start]) & 0xC0) == 0xC0) n = start;
    }
    std::memcpy(out, text, n);
}

} // namespace geometry
