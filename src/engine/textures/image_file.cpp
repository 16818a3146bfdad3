#include "textures/image_file.h"

#include "resources/byte_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace textures {

static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

ImageKind image_file_kind(const uint8_t *bytes, uint32_t size) {
    if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) return IMAGE_PNG;
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return IMAGE_JPEG;
    return IMAGE_OTHER;
}

static bool size_within_caps(uint64_t w, uint64_t h) {
    return w >= 1 && h >= 1 && w <= kImageMaxSide && h <= kImageMaxSide && w * h <= kImageMaxPixels;
}

bool image_file_png_size(const uint8_t *bytes, uint32_t size, uint32_t *width, uint32_t *height) {
    *width = *height = 0;
    if (image_file_kind(bytes, size) != IMAGE_PNG) return false;
    resources::ByteReader r = resources::byte_reader_make(bytes + 8, size - 8);
    uint32_t ihdr_length = resources::byte_reader_u32be(&r);
    const uint8_t *type = resources::byte_reader_take(&r, 4);
    if (!type || ihdr_length != 13 || std::memcmp(type, "IHDR", 4) != 0) return false;
    *width = resources::byte_reader_u32be(&r);
    *height = resources::byte_reader_u32be(&r);
    return !r.failed;
}

// The decoder's channel rules when a count other than the image's own is asked for: grey is
// repeated into colour, colour becomes grey as (77 R + 150 G + 29 B) / 256, a missing alpha is
// opaque and an unwanted one is dropped.
static void convert_channels(const uint8_t *src, int from, uint8_t *dst, int to, size_t pixels) {
    for (size_t i = 0; i < pixels; i++, src += from, dst += to) {
        bool colour = from >= 3;
        uint8_t r = src[0], g = colour ? src[1] : src[0], b = colour ? src[2] : src[0];
        uint8_t a = (from == 2 || from == 4) ? src[from - 1] : 255;
        if (to <= 2)
            dst[0] = colour ? uint8_t((r * 77 + g * 150 + b * 29) >> 8) : r;
        else {
            dst[0] = r;
            dst[1] = g;
            dst[2] = b;
        }
        if (to == 2 || to == 4) dst[to - 1] = a;
    }
}

// libpng reports errors by calling the error function, which must not return: it jumps back to
// the decoder below, which therefore holds nothing that needs a destructor.
static void png_quiet_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
static void png_quiet_warning(png_structp, png_const_charp) {}

struct PngSource {
    const uint8_t *bytes;
    size_t size, at;
};

static void png_read_source(png_structp png, png_bytep out, size_t length) {
    PngSource *src = static_cast<PngSource *>(png_get_io_ptr(png));
    if (length > src->size - src->at) png_error(png, "truncated");
    std::memcpy(out, src->bytes + src->at, length);
    src->at += length;
}

// Whether every chunk up to IEND (or the end of the file) lies inside the file. libpng sizes a chunk's buffer
// from its length word before reading it; a length the file cannot hold would allocate gigabytes for nothing.
static bool png_chunks_fit(const uint8_t *bytes, uint32_t size) {
    resources::ByteReader r = resources::byte_reader_make(bytes + 8, size - 8);
    while (byte_reader_remaining(&r) > 0) {
        uint32_t length = resources::byte_reader_u32be(&r);
        const uint8_t *type = resources::byte_reader_take(&r, 4);
        if (!type || length > byte_reader_remaining(&r) || byte_reader_remaining(&r) - length < 4)
            return false;
        if (std::memcmp(type, "IEND", 4) == 0) return true;
        resources::byte_reader_take(&r, size_t(length) + 4); // data and CRC
    }
    return true; // complete chunks without IEND: libpng decides
}

// libpng's own reader with no colour or gamma handling, so the stored bytes come out as they are:
// grey, grey and alpha, RGB or RGBA, palettes and transparency expanded, 16 bits cut to their high
// byte. Null when libpng refuses the file.
static uint8_t *decode_png(const uint8_t *bytes, uint32_t size, int32_t *w, int32_t *h, int32_t *channels) {
    if (!png_chunks_fit(bytes, size)) return nullptr;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error, png_quiet_warning);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    uint8_t *volatile pixels = nullptr;
    png_bytep *volatile rows = nullptr;
    PngSource src = {bytes, size, 0};
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        std::free(pixels);
        std::free(rows);
        return nullptr;
    }
    png_set_read_fn(png, &src, png_read_source);
    png_set_user_limits(png, kImageMaxSide, kImageMaxSide);
    // Ancillary chunks are read whole: their length words must not size allocations, nor their
    // number grow without bound. Only the pixels matter here.
    png_set_chunk_malloc_max(png, 1u << 20);
    png_set_chunk_cache_max(png, 64);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_read_info(png, info);
    int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
    if (depth == 16) png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    uint32_t width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    int n = png_get_channels(png, info);
    if (n < 1 || n > 4 || png_get_rowbytes(png, info) != size_t(width) * size_t(n))
        png_error(png, "unexpected layout");
    pixels = static_cast<uint8_t *>(std::malloc(size_t(width) * height * size_t(n)));
    rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * height));
    if (!pixels || !rows) png_error(png, "out of memory");
    for (uint32_t y = 0; y < height; y++)
        rows[y] = pixels + size_t(y) * width * size_t(n);
    png_read_image(png, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(rows);
    *w = int32_t(width);
    *h = int32_t(height);
    *channels = n;
    return pixels;
}

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the
// decoder below, which therefore holds nothing that needs a destructor.
struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

static void jpeg_error_exit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegErrors *>(cinfo->err)->jump, 1);
}
static void jpeg_no_message(j_common_ptr) {}

// A progressive file can hold any number of scans, each a pass over the whole image; beyond 500
// (no encoder writes so many) the file is taken as damaged.
static void jpeg_count_scans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > 500)
        longjmp(reinterpret_cast<JpegErrors *>(cinfo->err)->jump, 1);
}

// libjpeg, grey or RGB as the file has it; null when it refuses the file (status says why).
static uint8_t *decode_jpeg(const uint8_t *bytes, uint32_t size, int32_t *w, int32_t *h, int32_t *channels,
                            ImageStatus *status) {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    uint8_t *volatile pixels = nullptr;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpeg_error_exit;
    errors.manager.output_message = jpeg_no_message;
    *status = IMAGE_DAMAGED;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(pixels);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = jpeg_count_scans;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, bytes, size);
    jpeg_read_header(&cinfo, TRUE);
    if (!size_within_caps(cinfo.image_width, cinfo.image_height)) {
        *status = IMAGE_TOO_LARGE;
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    size_t stride = size_t(cinfo.output_width) * size_t(cinfo.output_components);
    pixels = static_cast<uint8_t *>(std::malloc(stride * cinfo.output_height));
    if (!pixels) longjmp(errors.jump, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    *w = int32_t(cinfo.output_width);
    *h = int32_t(cinfo.output_height);
    *channels = int32_t(cinfo.output_components);
    jpeg_destroy_decompress(&cinfo);
    *status = IMAGE_OK;
    return pixels;
}

uint8_t *image_file_decode(const uint8_t *bytes, uint32_t size, int wanted_channels, int32_t *w, int32_t *h,
                           int32_t *channels, ImageStatus *status) {
    ImageKind kind = image_file_kind(bytes, size);
    *status = IMAGE_DAMAGED;
    if (kind == IMAGE_OTHER) {
        *status = IMAGE_NOT_PNG_OR_JPEG;
        return nullptr;
    }
    int32_t x = 0, y = 0, n = 0;
    uint8_t *pixels = nullptr;
    if (kind == IMAGE_PNG) {
        uint32_t pw = 0, ph = 0;
        if (!image_file_png_size(bytes, size, &pw, &ph)) return nullptr;
        if (!size_within_caps(pw, ph)) {
            *status = pw && ph ? IMAGE_TOO_LARGE : IMAGE_DAMAGED;
            return nullptr;
        }
        pixels = decode_png(bytes, size, &x, &y, &n);
    } else {
        ImageStatus jpeg_status;
        pixels = decode_jpeg(bytes, size, &x, &y, &n, &jpeg_status);
        if (!pixels) *status = jpeg_status;
    }
    if (!pixels) return nullptr;
    if (wanted_channels >= 1 && wanted_channels <= 4 && wanted_channels != n) {
        uint8_t *converted =
            static_cast<uint8_t *>(std::malloc(size_t(x) * size_t(y) * size_t(wanted_channels)));
        if (converted) convert_channels(pixels, n, converted, wanted_channels, size_t(x) * size_t(y));
        std::free(pixels);
        pixels = converted;
        n = wanted_channels;
        if (!pixels) return nullptr;
    }
    *w = x;
    *h = y;
    *channels = n;
    *status = IMAGE_OK;
    return pixels;
}

void image_file_free(uint8_t *pixels) {
    std::free(pixels);
}

int32_t image_file_common_channels(const int32_t *counts, int n) {
    bool colour = false, alpha = false;
    for (int i = 0; i < n; i++) {
        colour = colour || counts[i] >= 3;
        alpha = alpha || counts[i] == 2 || counts[i] == 4;
    }
    return colour ? (alpha ? 4 : 3) : (alpha ? 2 : 1);
}

const char *image_file_problem(ImageStatus status) {
    switch (status) {
    case IMAGE_NOT_PNG_OR_JPEG: return "is not a PNG or JPEG image";
    case IMAGE_TOO_LARGE: return "is larger than 8192 pixels a side or 16 megapixels";
    default: return "is missing or cannot be decoded";
    }
}

} // namespace textures
