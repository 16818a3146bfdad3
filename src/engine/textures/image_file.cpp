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

// libpng's simplified reader, in the image's own channel count; null when it refuses the file.
static uint8_t *decode_png(const uint8_t *bytes, uint32_t size, int32_t *w, int32_t *h, int32_t *channels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) return nullptr;
    bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0,
         alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    int n = (colour ? 3 : 1) + (alpha ? 1 : 0);
    image.format = n == 1   ? PNG_FORMAT_GRAY
                   : n == 2 ? PNG_FORMAT_GA
                   : n == 3 ? PNG_FORMAT_RGB
                            : PNG_FORMAT_RGBA;
    uint8_t *pixels = static_cast<uint8_t *>(std::malloc(PNG_IMAGE_SIZE(image)));
    if (!pixels || !png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) {
        std::free(pixels);
        png_image_free(&image);
        return nullptr;
    }
    *w = int32_t(image.width);
    *h = int32_t(image.height);
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
