// Document numbers to integers without undefined behaviour. Every float that a document gives and
// the engine turns into an integer goes through these: the value is truncated toward zero, NaN
// gives 0, and values beyond the type's range are held at its ends.
#pragma once

#include <cstdint>
#include <limits>

namespace maths {

inline int32_t convert_to_i32(double v) {
    if (!(v == v)) return 0;
    if (v <= -2147483648.0) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(v);
}

inline uint32_t convert_to_u32(double v) {
    if (!(v > 0.0)) return 0; // NaN and negatives
    if (v >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(v);
}

inline uint16_t convert_to_u16(double v) {
    uint32_t u = convert_to_u32(v);
    return static_cast<uint16_t>(u > 0xFFFFu ? 0xFFFFu : u);
}

inline uint8_t convert_to_u8(double v) {
    uint32_t u = convert_to_u32(v);
    return static_cast<uint8_t>(u > 0xFFu ? 0xFFu : u);
}

// A double narrowed to a float as IEEE rounding does it, without the undefined behaviour of a cast
// from beyond the float range: such values become infinities (NaN stays NaN).
inline float convert_to_float(double v) {
    // The largest double that still rounds to the largest float, not to infinity.
    const double kLimit = 3.4028235677973362e38;
    if (v > kLimit) return std::numeric_limits<float>::infinity();
    if (v < -kLimit) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

// A kind number read from a document: 0..254 as it is, anything else 255, a kind no table has,
// so a wrapped value never lands on a real kind.
inline uint8_t convert_to_kind(int32_t kind) {
    return kind >= 0 && kind < 255 ? static_cast<uint8_t>(kind) : 255;
}

// Truncated toward zero and clamped to lo..hi; NaN gives lo.
inline int32_t convert_clamped(double v, int32_t lo, int32_t hi) {
    if (!(v == v)) return lo;
    int32_t i = convert_to_i32(v);
    return i < lo ? lo : (i > hi ? hi : i);
}

} // namespace maths
