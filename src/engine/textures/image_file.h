// Image files of a package (bitmaps, mip levels, cube-map faces): PNG (libpng) or JPEG (libjpeg)
// only, decoded from memory, within stated size caps. Anything else is refused by its signature,
// so the bytes a stranger can hand a decoder are limited to the two formats a demo uses.
#pragma once

#include <cstdint>

namespace textures {

enum ImageKind : uint8_t { IMAGE_PNG = 0, IMAGE_JPEG = 1, IMAGE_OTHER = 2 };

enum ImageStatus : uint8_t {
    IMAGE_OK = 0,
    IMAGE_NOT_PNG_OR_JPEG, // neither signature
    IMAGE_TOO_LARGE,       // wider or higher than kImageMaxSide, or more than kImageMaxPixels
    IMAGE_DAMAGED,         // the decoder refuses it
    IMAGE_MISSING,         // no such package entry (set by callers that look the file up)
    // The two below still deliver pixels: what the decoder made of the file.
    IMAGE_CUT_SHORT,    // the file ends inside its image data; the rest is filled in (grey for PNG)
    IMAGE_CORRUPT_DATA, // the decoder skipped damaged image data
};

// What the decoder said about a file. detail holds the decoder's own words ("Premature end of JPEG
// file", "IDAT: CRC error"), empty when it said nothing.
struct ImageReport {
    ImageStatus status;
    char detail[160];
};

constexpr uint32_t kImageMaxSide = 8192;
constexpr uint64_t kImageMaxPixels = 16u << 20;

// The kind of an image from its signature (PNG's eight bytes, JPEG's FF D8 FF).
ImageKind image_file_kind(const uint8_t *bytes, uint32_t size);

// The width and height a PNG's IHDR gives, read before anything is decoded; false without one.
bool image_file_png_size(const uint8_t *bytes, uint32_t size, uint32_t *width, uint32_t *height);

// Decodes a PNG or JPEG. wanted_channels 0 keeps the image's own channel count (PNG: grey, grey
// and alpha, RGB or RGBA as stored, palettes expanded, 16 bits cut to 8; JPEG: grey or RGB).
// Returns the pixels (rows top to bottom, packed; free with image_file_free) and sets w, h and
// channels (the count delivered), or null. The report says how it went: IMAGE_OK for a clean file;
// IMAGE_CUT_SHORT or IMAGE_CORRUPT_DATA with pixels for a damaged one the decoder got through (its
// warnings, which change pixels; warnings about metadata alone are not reported); any other
// status with null.
uint8_t *image_file_decode(const uint8_t *bytes, uint32_t size, int wanted_channels, int32_t *w, int32_t *h,
                           int32_t *channels, ImageReport *report);

void image_file_free(uint8_t *pixels);

// The channel count that holds every image of a set without loss: colour when any has colour,
// alpha when any has alpha (1 grey, 2 grey and alpha, 3 RGB, 4 RGBA).
int32_t image_file_common_channels(const int32_t *counts, int n);

// The end of a log line about an image that could not be used: "is not a PNG or JPEG image" and so
// on; missing entries and undecodable files share "is missing or cannot be decoded".
const char *image_file_problem(ImageStatus status);

// Logs the one line an image file deserves when it was not clean, naming it as `what` (a record
// kind: "bitmap", "cube map face", "mip level") and `name`: an error when it gave no pixels, a
// warning that names the damage when it gave some. Nothing for IMAGE_OK, nor for IMAGE_MISSING when
// missing_is_normal (premade mip levels are optional).
void image_file_log(const char *what, const char *name, const ImageReport *report, bool missing_is_normal);

} // namespace textures
