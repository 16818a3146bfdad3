// Text set in the built-in bitmap font: measuring, drawing into 8-bit images, breaking into lines.
#pragma once

#include <cstdint>

namespace player {

// An 8-bit image that text is drawn into (one byte a pixel: a palette index or a mask value).
struct ByteImage {
    uint8_t *pixels;
    int32_t width, height;
    int32_t pitch; // bytes from one row to the next
};

// Width in pixels of the first length characters of text, each font pixel scale x scale.
int32_t bitmap_text_width(const char *text, int32_t length, int32_t scale);

// Writes value into every pixel that the text inks. (x, y) is the top-left corner of the first
// glyph's cell (y is the top of the capitals). Pixels outside the image are skipped.
void bitmap_text_draw(const char *text, int32_t length, int32_t x, int32_t y, int32_t scale, uint8_t value,
                      ByteImage image);

struct BitmapTextLine {
    int32_t start, length; // a piece of the text, without the space or newline that ended it
};

// Breaks text into lines at most max_width pixels wide at scale 1: at spaces, at newlines, and
// inside a word that is wider than a line by itself. Returns the number of lines written (at most
// capacity; text that does not fit in capacity lines is dropped).
int32_t bitmap_text_wrap(const char *text, int32_t max_width, BitmapTextLine *lines, int32_t capacity);

} // namespace player
