#include "tools/tool_png.h"

#include <csetjmp>
#include <cstdio>
#include <png.h>
#include <zlib.h>

namespace tools {

namespace {

// libpng reports errors through a function that must not return: it jumps back to the writer,
// which holds nothing that needs a destructor.
void png_fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void png_no_warning(png_structp, png_const_charp) {}

} // namespace

bool tool_png_write(const char *path, int w, int h, int channels, const uint8_t *rows, long stride) {
    static const int kColourTypes[4] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                        PNG_COLOR_TYPE_RGB_ALPHA};
    if (channels < 1 || channels > 4 || w < 1 || h < 1) return false;
    FILE *f = std::fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_no_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, uint32_t(w), uint32_t(h), 8, kColourTypes[channels - 1], PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
        png_set_compression_strategy(png, Z_RLE);
        png_set_compression_level(png, 1);
        png_write_info(png, info);
        for (int y = 0; y < h; y++)
            png_write_row(png, const_cast<png_bytep>(rows + long(y) * stride));
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    bool written = std::fclose(f) == 0 && ok;
    if (!written) std::remove(path);
    return written;
}

} // namespace tools
