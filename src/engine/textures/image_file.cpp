#include "textures/image_file.h"

#include "resources/byte_reader.h"

#include <climits>
#include <cstring>
#include <stb_image.h>
#include <zlib.h>

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

// Bytes of filtered scanlines for w x h pixels of bits_per_pixel: one filter byte per row.
static uint64_t png_rows_bytes(uint64_t w, uint64_t h, uint64_t bits_per_pixel) {
    return w && h ? h * (1 + (w * bits_per_pixel + 7) / 8) : 0;
}

// What the IDAT stream of an image inflates to, interlaced (the seven Adam7 passes) or not.
static uint64_t png_raw_bytes(uint32_t w, uint32_t h, uint32_t bits_per_pixel, bool interlaced) {
    if (!interlaced) return png_rows_bytes(w, h, bits_per_pixel);
    static const uint32_t kPass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    uint64_t total = 0;
    for (const uint32_t *p : kPass) {
        uint64_t pw = w > p[0] ? (uint64_t(w) - p[0] + p[2] - 1) / p[2] : 0;
        uint64_t ph = h > p[1] ? (uint64_t(h) - p[1] + p[3] - 1) / p[3] : 0;
        total += png_rows_bytes(pw, ph, bits_per_pixel);
    }
    return total;
}

bool image_file_png_plausible(const uint8_t *bytes, uint32_t size, uint32_t *width, uint32_t *height) {
    if (image_file_kind(bytes, size) != IMAGE_PNG) return false;
    resources::ByteReader r = resources::byte_reader_make(bytes + 8, size - 8);
    uint32_t ihdr_length = resources::byte_reader_u32be(&r);
    const uint8_t *type = resources::byte_reader_take(&r, 4);
    if (!type || ihdr_length != 13 || std::memcmp(type, "IHDR", 4) != 0) return false;
    uint32_t w = resources::byte_reader_u32be(&r);
    uint32_t h = resources::byte_reader_u32be(&r);
    uint8_t depth = resources::byte_reader_u8(&r);
    uint8_t colour = resources::byte_reader_u8(&r);
    resources::byte_reader_take(&r, 2); // compression and filter method
    bool interlaced = resources::byte_reader_u8(&r) != 0;
    resources::byte_reader_take(&r, 4); // CRC
    uint32_t samples = colour == 0   ? 1
                       : colour == 2 ? 3
                       : colour == 3 ? 1
                       : colour == 4 ? 2
                       : colour == 6 ? 4
                                     : 0;
    *width = r.failed ? 0 : w;
    *height = r.failed ? 0 : h;
    if (r.failed || samples == 0 || depth == 0 || depth > 16 || !size_within_caps(w, h)) return false;
    uint64_t limit = png_raw_bytes(w, h, samples * depth, interlaced);

    // Inflate the IDAT chunks in order into a small scratch block, counting, and stop as soon as
    // the count passes what the image can need.
    z_stream z = {};
    if (inflateInit(&z) != Z_OK) return false;
    uint8_t scratch[16384];
    uint64_t produced = 0;
    bool ok = true, ended = false;
    // Every chunk up to IEND must lie inside the file: the decoder sizes its buffer for the IDAT
    // chunks by their length words before it reads them.
    while (ok && byte_reader_remaining(&r) > 0) {
        uint32_t length = resources::byte_reader_u32be(&r);
        const uint8_t *chunk_type = resources::byte_reader_take(&r, 4);
        const uint8_t *data = resources::byte_reader_take(&r, length);
        resources::byte_reader_take(&r, 4); // CRC
        if (r.failed) ok = false;
        if (!ok || std::memcmp(chunk_type, "IEND", 4) == 0) break;
        if (ended || std::memcmp(chunk_type, "IDAT", 4) != 0) continue;
        z.next_in = const_cast<Bytef *>(data);
        z.avail_in = length;
        while (z.avail_in > 0 && ok && !ended) {
            z.next_out = scratch;
            z.avail_out = sizeof scratch;
            int rc = inflate(&z, Z_NO_FLUSH);
            produced += sizeof scratch - z.avail_out;
            if (produced > limit || (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)) ok = false;
            ended = rc == Z_STREAM_END;
            // No progress with input left: the stream is stuck (the decoder will refuse it).
            if (rc == Z_BUF_ERROR) break;
        }
    }
    inflateEnd(&z);
    return ok;
}

uint8_t *image_file_decode(const uint8_t *bytes, uint32_t size, int wanted_channels, int32_t *w, int32_t *h,
                           int32_t *channels, ImageStatus *status) {
    ImageKind kind = image_file_kind(bytes, size);
    if (kind == IMAGE_OTHER) {
        *status = IMAGE_NOT_PNG_OR_JPEG;
        return nullptr;
    }
    if (size > INT_MAX) {
        *status = IMAGE_TOO_LARGE;
        return nullptr;
    }
    int x = 0, y = 0, n = 0;
    if (kind == IMAGE_PNG) {
        uint32_t pw = 0, ph = 0;
        if (!image_file_png_plausible(bytes, size, &pw, &ph)) {
            *status = pw == 0 || ph == 0 || size_within_caps(pw, ph) ? IMAGE_DAMAGED : IMAGE_TOO_LARGE;
            return nullptr;
        }
    } else if (!stbi_info_from_memory(bytes, static_cast<int>(size), &x, &y, &n)) {
        *status = IMAGE_DAMAGED;
        return nullptr;
    } else if (!size_within_caps(uint32_t(x), uint32_t(y))) {
        *status = IMAGE_TOO_LARGE;
        return nullptr;
    }
    uint8_t *pixels = stbi_load_from_memory(bytes, static_cast<int>(size), &x, &y, &n, wanted_channels);
    if (!pixels) {
        *status = IMAGE_DAMAGED;
        return nullptr;
    }
    *w = x;
    *h = y;
    *channels = wanted_channels ? wanted_channels : n;
    *status = IMAGE_OK;
    return pixels;
}

void image_file_free(uint8_t *pixels) {
    stbi_image_free(pixels);
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
