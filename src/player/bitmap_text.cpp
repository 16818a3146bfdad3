#include "player/bitmap_text.h"

#include "player/bitmap_font.h"

namespace player {

int32_t bitmap_text_width(const char *text, int32_t length, int32_t scale) {
    int32_t width = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (i > 0) width += kBitmapFontSpacing;
        width += bitmap_font_glyph_width(bitmap_font_glyph(text[i]));
    }
    return width * scale;
}

void bitmap_text_draw(const char *text, int32_t length, int32_t x, int32_t y, int32_t scale, uint8_t value,
                      ByteImage image) {
    for (int32_t i = 0; i < length; ++i) {
        const BitmapGlyph &glyph = bitmap_font_glyph(text[i]);
        int32_t glyph_width = bitmap_font_glyph_width(glyph);
        for (int32_t gy = 0; gy < kBitmapFontRows; ++gy)
            for (int32_t gx = 0; gx < glyph_width; ++gx) {
                if (!bitmap_font_ink(glyph, gx, gy)) continue;
                for (int32_t sy = 0; sy < scale; ++sy)
                    for (int32_t sx = 0; sx < scale; ++sx) {
                        int32_t px = x + gx * scale + sx, py = y + gy * scale + sy;
                        if (px >= 0 && py >= 0 && px < image.width && py < image.height)
                            image.pixels[py * image.pitch + px] = value;
                    }
            }
        x += (glyph_width + kBitmapFontSpacing) * scale;
    }
}

int32_t bitmap_text_wrap(const char *text, int32_t max_width, BitmapTextLine *lines, int32_t capacity) {
    int32_t count = 0;
    int32_t start = 0;
    while (text[start] && count < capacity) {
        // Take characters while they fit; remember the last space as the preferred break.
        int32_t end = start, last_space = -1;
        while (text[end] && text[end] != '\n') {
            if (text[end] == ' ') last_space = end;
            if (bitmap_text_width(text + start, end - start + 1, 1) > max_width) break;
            ++end;
        }
        int32_t next;
        if (!text[end] || text[end] == '\n') {
            next = text[end] ? end + 1 : end;
        } else if (last_space > start) {
            end = last_space;
            next = last_space + 1;
        } else {
            // A word longer than the line (or a line narrower than one glyph): cut it, at least one
            // character so the loop always advances.
            if (end == start) ++end;
            next = end;
        }
        lines[count++] = BitmapTextLine{start, end - start};
        start = next;
    }
    return count;
}

} // namespace player
