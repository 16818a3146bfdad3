#include "resources/packed.h"

#include "resources/byte_reader.h"
#include "resources/package.h"

#include <climits>
#include <cstdlib>
#include <stb_image.h>
#include <zlib.h>

namespace resources {

// Adler-32 of a block (RFC 1950), computed here because the decoder does not check it.
static uint32_t adler32_of(const uint8_t *data, uint32_t size) {
    uint32_t a = 1, b = 0;
    while (size > 0) {
        // 5552 bytes is the most that can be summed before the 32-bit sums must be reduced.
        uint32_t run = size < 5552 ? size : 5552;
        size -= run;
        while (run--) {
            a += *data++;
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return b << 16 | a;
}

bool packed_length_plausible(uint32_t length, uint64_t stream_size) {
    return length <= kPackedMaxLength && uint64_t(length) <= stream_size * kDeflateMaxRatio;
}

uint8_t *packed_inflate(const uint8_t *packed, uint32_t packed_size, uint32_t *out_length,
                        PackedStatus *status) {
    *status = PACKED_DAMAGED;
    ByteReader r = byte_reader_make(packed, packed_size);
    uint32_t length = byte_reader_u32le(&r);
    size_t stream_size = byte_reader_remaining(&r);
    if (r.failed || !packed_length_plausible(length, stream_size) || stream_size > INT_MAX) return nullptr;
    uint8_t *out = static_cast<uint8_t *>(std::malloc(size_t(length) + 1));
    if (!out) return nullptr;
    // The output may not grow beyond L: a longer stream fails inside the decoder.
    int got = stbi_zlib_decode_buffer(reinterpret_cast<char *>(out), static_cast<int>(length),
                                      reinterpret_cast<const char *>(packed + r.position),
                                      static_cast<int>(stream_size));
    // The stream ends with the Adler-32 of the text (big-endian); a damaged stream that still
    // inflates to L bytes is caught here.
    bool ok = got >= 0 && static_cast<uint32_t>(got) == length && stream_size >= 6;
    if (ok) {
        ByteReader trailer = byte_reader_make(packed + packed_size - 4, 4);
        ok = byte_reader_u32be(&trailer) == adler32_of(out, length);
    }
    if (!ok) {
        std::free(out);
        return nullptr;
    }
    out[length] = 0;
    *out_length = length;
    *status = PACKED_OK;
    return out;
}

uint8_t *packed_read_entry(FILE *package, const char *name, uint32_t *out_length, PackedStatus *status) {
    uint32_t size = 0;
    uint8_t *entry = package_read_entry(package, name, &size);
    if (!entry) {
        *status = PACKED_MISSING;
        return nullptr;
    }
    uint8_t *text = packed_inflate(entry, size, out_length, status);
    std::free(entry);
    return text;
}

uint8_t *packed_compress(const uint8_t *data, uint32_t size, uint32_t *out_size) {
    uLongf bound = compressBound(size);
    if (uint64_t(bound) + 4 > 0xFFFFFFFFull) return nullptr;
    uint8_t *out = static_cast<uint8_t *>(std::malloc(bound + 4));
    if (!out) return nullptr;
    byte_store_u32le(out, size);
    if (compress2(out + 4, &bound, data, size, 9) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *out_size = static_cast<uint32_t>(bound + 4);
    return out;
}

} // namespace resources
