#include "textures/image_file.h"

#include "resources/byte_reader.h"
#include "resources/log.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <jerror.h>
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

static void report_set(ImageReport *report, ImageStatus status, const char *detail) {
    report->status = status;
    std::snprintf(report->detail, sizeof report->detail, "%s", detail ? detail : "");
}

// The grey that stands in for pixels a cut file never delivered.
constexpr uint8_t kMissingPixel = 128;
// Bytes of image data libpng asks for at a time (its default is 8192).
constexpr size_t kPngReadPiece = 512;

// One PNG decode: the source, and what libpng said. libpng reports errors by calling the error
// function, which must not return: it jumps back to the decoder below, which therefore holds
// nothing that needs a destructor.
struct PngDecode {
    const uint8_t *bytes;
    size_t size, at;
    bool ran_out; // the file ended before libpng had what it asked for
    int phase;    // where libpng was: 0 the header, 1 the rows, 2 the end of the file
    char message[160];
};

static void png_keep_error(png_structp png, png_const_charp message) {
    PngDecode *d = static_cast<PngDecode *>(png_get_error_ptr(png));
    std::snprintf(d->message, sizeof d->message, "%s", message ? message : "");
    png_longjmp(png, 1);
}
// Warnings are about chunks that do not change the stored pixels (extra data, ancillary chunks).
static void png_quiet_warning(png_structp, png_const_charp) {}

static void png_read_source(png_structp png, png_bytep out, size_t length) {
    PngDecode *d = static_cast<PngDecode *>(png_get_io_ptr(png));
    if (length > d->size - d->at) {
        d->ran_out = true;
        png_error(png, "Premature end of PNG file");
    }
    std::memcpy(out, d->bytes + d->at, length);
    d->at += length;
}

// Whether every chunk up to IEND (or the end of the file) lies inside the file. libpng sizes a
// chunk's buffer from its length word before reading it; a length the file cannot hold would
// allocate gigabytes for nothing. Image data is the exception: libpng reads it in small pieces,
// holds its length to what the image needs, and a file cut inside it still has rows to show.
static bool png_chunks_fit(const uint8_t *bytes, uint32_t size) {
    resources::ByteReader r = resources::byte_reader_make(bytes + 8, size - 8);
    while (byte_reader_remaining(&r) > 0) {
        uint32_t length = resources::byte_reader_u32be(&r);
        const uint8_t *type = resources::byte_reader_take(&r, 4);
        if (!type) return false;
        if (length > byte_reader_remaining(&r) || byte_reader_remaining(&r) - length < 4)
            return std::memcmp(type, "IDAT", 4) == 0;
        if (std::memcmp(type, "IEND", 4) == 0) return true;
        resources::byte_reader_take(&r, size_t(length) + 4); // data and CRC
    }
    return true; // complete chunks without IEND: libpng decides
}

// libpng's own reader with no colour or gamma handling, so the stored bytes come out as they are:
// grey, grey and alpha, RGB or RGBA, palettes and transparency expanded, 16 bits cut to their high
// byte. Null when libpng refuses the file before its rows; a failure among the rows keeps the rows
// read so far, the rest grey (report: cut short or corrupt, with libpng's message).
static uint8_t *decode_png(const uint8_t *bytes, uint32_t size, int32_t *w, int32_t *h, int32_t *channels,
                           ImageReport *report) {
    report_set(report, IMAGE_DAMAGED, "");
    if (!png_chunks_fit(bytes, size)) {
        report_set(report, IMAGE_DAMAGED, "a chunk runs past the end of the file");
        return nullptr;
    }
    PngDecode d = {bytes, size, 0, false, 0, ""};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, png_keep_error, png_quiet_warning);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    uint8_t *volatile pixels = nullptr;
    png_bytep *volatile rows = nullptr;
    volatile uint32_t width = 0, height = 0;
    volatile int n = 0;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        std::free(rows);
        if (pixels) { // among the rows or after them: what was read stays
            // After the last row a missing end changes nothing; anything else there (the image
            // data failing its CRC) means some rows were wrong.
            if (d.phase == 2 && d.ran_out)
                report_set(report, IMAGE_OK, "");
            else
                report_set(report, d.ran_out ? IMAGE_CUT_SHORT : IMAGE_CORRUPT_DATA, d.message);
            *w = int32_t(width);
            *h = int32_t(height);
            *channels = n;
            return pixels;
        }
        report_set(report, IMAGE_DAMAGED, d.message);
        return nullptr;
    }
    png_set_read_fn(png, &d, png_read_source);
    png_set_user_limits(png, kImageMaxSide, kImageMaxSide);
    // Ancillary chunks are read whole: their length words must not size allocations, nor their
    // number grow without bound. Only the pixels matter here.
    png_set_chunk_malloc_max(png, 1u << 20);
    png_set_chunk_cache_max(png, 64);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    // Image data is read in small pieces, so that a file cut inside it yields the rows before the cut.
    png_set_compression_buffer_size(png, kPngReadPiece);
    png_read_info(png, info);
    int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
    if (depth == 16) png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    uint32_t image_width = png_get_image_width(png, info), image_height = png_get_image_height(png, info);
    int image_channels = png_get_channels(png, info);
    if (image_channels < 1 || image_channels > 4 ||
        png_get_rowbytes(png, info) != size_t(image_width) * size_t(image_channels))
        png_error(png, "unexpected layout");
    size_t stride = size_t(image_width) * size_t(image_channels);
    rows = static_cast<png_bytep *>(std::malloc(sizeof(png_bytep) * image_height));
    if (!rows) png_error(png, "out of memory");
    uint8_t *image = static_cast<uint8_t *>(std::malloc(stride * image_height));
    if (!image) png_error(png, "out of memory");
    // Interlaced passes write only their own pixels, so whatever a cut file never reaches stays grey.
    std::memset(image, kMissingPixel, stride * image_height);
    for (uint32_t y = 0; y < image_height; y++)
        rows[y] = image + size_t(y) * stride;
    width = image_width;
    height = image_height;
    n = image_channels;
    pixels = image;
    d.phase = 1;
    png_read_image(png, rows);
    d.phase = 2;
    png_read_end(png, nullptr); // checks the image data's CRC, which the last rows may precede
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(rows);
    *w = int32_t(width);
    *h = int32_t(height);
    *channels = n;
    report_set(report, IMAGE_OK, "");
    return pixels;
}

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the
// decoder below, which therefore holds nothing that needs a destructor. Its warnings come through
// emit_message; the first one that changes pixels is kept.
struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
    ImageStatus warning; // IMAGE_OK until a warning that changes pixels
    char message[JMSG_LENGTH_MAX];
};

static void jpeg_error_exit(j_common_ptr cinfo) {
    JpegErrors *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    longjmp(errors->jump, 1);
}

// Which of libjpeg's warnings mean damaged image data. The others (an unknown Adobe transform,
// JFIF revision or ICC marker) concern metadata, and extraneous bytes before a marker lie outside
// the coded image; a file with only those decodes as its maker meant.
static ImageStatus jpeg_warning_status(int code) {
    switch (code) {
    case JWRN_JPEG_EOF: return IMAGE_CUT_SHORT;
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL: return IMAGE_CORRUPT_DATA;
    default: return IMAGE_OK;
    }
}

static void jpeg_emit_message(j_common_ptr cinfo, int level) {
    if (level >= 0) return; // trace messages
    JpegErrors *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
    errors->manager.num_warnings++;
    ImageStatus status = jpeg_warning_status(errors->manager.msg_code);
    // The first damage is kept, except that a cut wins: a cut file also meets the end marker that
    // libjpeg puts in place of its missing data, and the cut is the cause.
    bool keep = status != IMAGE_OK && (errors->warning == IMAGE_OK ||
                                       (errors->warning == IMAGE_CORRUPT_DATA && status == IMAGE_CUT_SHORT));
    if (!keep) return;
    errors->warning = status;
    (*cinfo->err->format_message)(cinfo, errors->message);
}

// A progressive file can hold any number of scans, each a pass over the whole image; beyond 500
// (no encoder writes so many) the file is taken as damaged.
static void jpeg_count_scans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > 500) {
        JpegErrors *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
        std::snprintf(errors->message, sizeof errors->message, "more than 500 scans");
        longjmp(errors->jump, 1);
    }
}

// libjpeg, grey or RGB as the file has it; null when it refuses the file (the report says why).
static uint8_t *decode_jpeg(const uint8_t *bytes, uint32_t size, int32_t *w, int32_t *h, int32_t *channels,
                            ImageReport *report) {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    uint8_t *volatile pixels = nullptr;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpeg_error_exit;
    errors.manager.emit_message = jpeg_emit_message;
    errors.warning = IMAGE_OK;
    errors.message[0] = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(pixels);
        report_set(report, IMAGE_DAMAGED, errors.message);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = jpeg_count_scans;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, bytes, size);
    jpeg_read_header(&cinfo, TRUE);
    if (!size_within_caps(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        report_set(report, IMAGE_TOO_LARGE, "");
        return nullptr;
    }
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    size_t stride = size_t(cinfo.output_width) * size_t(cinfo.output_components);
    pixels = static_cast<uint8_t *>(std::malloc(stride * cinfo.output_height));
    if (!pixels) {
        std::snprintf(errors.message, sizeof errors.message, "out of memory");
        longjmp(errors.jump, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    *w = int32_t(cinfo.output_width);
    *h = int32_t(cinfo.output_height);
    *channels = int32_t(cinfo.output_components);
    jpeg_destroy_decompress(&cinfo);
    report_set(report, errors.warning, errors.warning == IMAGE_OK ? "" : errors.message);
    return pixels;
}

uint8_t *image_file_decode(const uint8_t *bytes, uint32_t size, int wanted_channels, int32_t *w, int32_t *h,
                           int32_t *channels, ImageReport *report) {
    ImageKind kind = image_file_kind(bytes, size);
    report_set(report, IMAGE_DAMAGED, "");
    if (kind == IMAGE_OTHER) {
        report_set(report, IMAGE_NOT_PNG_OR_JPEG, "");
        return nullptr;
    }
    int32_t x = 0, y = 0, n = 0;
    uint8_t *pixels = nullptr;
    if (kind == IMAGE_PNG) {
        uint32_t pw = 0, ph = 0;
        if (!image_file_png_size(bytes, size, &pw, &ph)) {
            report_set(report, IMAGE_DAMAGED, "no image header");
            return nullptr;
        }
        if (!size_within_caps(pw, ph)) {
            report_set(report, pw && ph ? IMAGE_TOO_LARGE : IMAGE_DAMAGED, "");
            return nullptr;
        }
        pixels = decode_png(bytes, size, &x, &y, &n, report);
    } else {
        pixels = decode_jpeg(bytes, size, &x, &y, &n, report);
    }
    if (!pixels) return nullptr;
    if (wanted_channels >= 1 && wanted_channels <= 4 && wanted_channels != n) {
        uint8_t *converted =
            static_cast<uint8_t *>(std::malloc(size_t(x) * size_t(y) * size_t(wanted_channels)));
        if (converted) convert_channels(pixels, n, converted, wanted_channels, size_t(x) * size_t(y));
        std::free(pixels);
        pixels = converted;
        n = wanted_channels;
        if (!pixels) {
            report_set(report, IMAGE_DAMAGED, "out of memory");
            return nullptr;
        }
    }
    *w = x;
    *h = y;
    *channels = n;
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

void image_file_log(const char *what, const char *name, const ImageReport *report, bool missing_is_normal) {
    switch (report->status) {
    case IMAGE_OK: return;
    case IMAGE_MISSING:
        if (missing_is_normal) return;
        break;
    case IMAGE_CUT_SHORT:
        resources::log_format("Warning: %s %s is cut short (%s); its missing part is filled in.\r\n", what,
                              name, report->detail);
        return;
    case IMAGE_CORRUPT_DATA:
        resources::log_format("Warning: %s %s has damaged image data (%s); it is used as decoded.\r\n", what,
                              name, report->detail);
        return;
    default: break;
    }
    resources::log_format("Error: %s %s %s.\r\n", what, name, image_file_problem(report->status));
}

} // namespace textures
