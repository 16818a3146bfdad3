// Compressed documents and model files: a u32 little-endian inflated length L, then a zlib stream
// (RFC 1950) that inflates to exactly L bytes.
#pragma once

#include <cstdint>
#include <cstdio>

namespace resources {

// Larger inflated lengths are rejected before anything is allocated.
constexpr uint32_t kPackedMaxLength = 256u << 20;
// Deflate cannot expand a byte of its stream into more than 1032 bytes (a 258-byte match in two
// bits), so a length word beyond that many times the stream's size is a lie.
constexpr uint32_t kDeflateMaxRatio = 1032;

enum PackedStatus : uint8_t {
    PACKED_OK = 0,
    PACKED_MISSING = 1, // the package has no such entry
    PACKED_DAMAGED = 2, // too short, L too large, corrupt stream, or not exactly L bytes
};

// Whether an inflated length can come out of a zlib stream of stream_size bytes: at most
// kPackedMaxLength and at most kDeflateMaxRatio times the stream's size.
bool packed_length_plausible(uint32_t length, uint64_t stream_size);

// Inflates a packed block into a new heap block of L + 1 bytes (std::free) whose byte L is 0.
// Returns null with PACKED_DAMAGED unless the stream inflates to exactly L bytes; an implausible L
// is refused before anything is allocated.
uint8_t *packed_inflate(const uint8_t *packed, uint32_t packed_size, uint32_t *out_length,
                        PackedStatus *status);

// Reads the package entry and inflates it; the entry bytes are freed before returning.
uint8_t *packed_read_entry(FILE *package, const char *name, uint32_t *out_length, PackedStatus *status);

// Packs data with zlib at level 9 into a new heap block (std::free). Null when data is too large.
uint8_t *packed_compress(const uint8_t *data, uint32_t size, uint32_t *out_size);

} // namespace resources
