// Bounds-checked reading of little- and big-endian values from a byte block.
// A read past the end yields zero and sets the failed flag; nothing is ever read outside the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace resources {

struct ByteReader {
    const uint8_t *data;
    size_t size;
    size_t position;
    bool failed;
};

inline ByteReader byte_reader_make(const void *data, size_t size) {
    return ByteReader{static_cast<const uint8_t *>(data), size, 0, false};
}

inline size_t byte_reader_remaining(const ByteReader *r) { return r->size - r->position; }

// Returns a pointer to the next count bytes and advances, or null (and failed) when fewer remain.
inline const uint8_t *byte_reader_take(ByteReader *r, size_t count) {
    if (r->failed || count > r->size - r->position) {
        r->failed = true;
        return nullptr;
    }
    const uint8_t *p = r->data + r->position;
    r->position += count;
    return p;
}

inline uint8_t byte_reader_u8(ByteReader *r) {
    const uint8_t *p = byte_reader_take(r, 1);
    return p ? p[0] : 0;
}

inline uint16_t byte_reader_u16le(ByteReader *r) {
    const uint8_t *p = byte_reader_take(r, 2);
    return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

inline uint32_t byte_reader_u32le(ByteReader *r) {
    const uint8_t *p = byte_reader_take(r, 4);
    return p ? (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) : 0;
}

inline uint32_t byte_reader_u32be(ByteReader *r) {
    const uint8_t *p = byte_reader_take(r, 4);
    return p ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3])) : 0;
}

inline float byte_reader_f32le(ByteReader *r) {
    uint32_t bits = byte_reader_u32le(r);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void byte_store_u32be(uint8_t *out, uint32_t value) {
    out[0] = uint8_t(value >> 24);
    out[1] = uint8_t(value >> 16);
    out[2] = uint8_t(value >> 8);
    out[3] = uint8_t(value);
}

inline void byte_store_u32le(uint8_t *out, uint32_t value) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    out[2] = uint8_t(value >> 16);
    out[3] = uint8_t(value >> 24);
}

} // namespace resources
