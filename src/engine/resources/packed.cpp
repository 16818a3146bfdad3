#include "resources/packed.h"

#include "resources/byte_reader.h"
#include "resources/package.h"

#include <climits>
#include <cstdlib>
#include <zlib.h>

namespace resources {

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
    // zlib checks the stream's Adler-32 itself and says where the stream ends; the output may not
    // grow beyond L, and a stream that ends before L bytes is as damaged as one that needs more.
    z_stream z = {};
    bool ok = inflateInit(&z) == Z_OK;
    if (ok) {
        z.next_in = const_cast<Bytef *>(packed + r.position);
        z.avail_in = static_cast<uInt>(stream_size);
        z.next_out = out;
        z.avail_out = length;
        int rc = inflate(&z, Z_FINISH);
        // A full output with the stream not yet ended: one more call tells whether it ends there.
        if (rc == Z_BUF_ERROR && z.avail_out == 0) {
            uint8_t probe;
            z.next_out = &probe;
            z.avail_out = 1;
            rc = inflate(&z, Z_FINISH);
            if (z.avail_out == 0) rc = Z_DATA_ERROR;
        }
        ok = rc == Z_STREAM_END && z.total_out == length;
        inflateEnd(&z);
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
