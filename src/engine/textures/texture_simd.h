// Whether the texture code may use SSE2 vector instructions. Every x86-64 processor has them
// (and 32-bit builds that ask for them); other processors take the scalar paths, which store the
// same bytes.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TEXTURE_SIMD_SSE2 1
#include <emmintrin.h>
#include <cstdint>

// Four pixels held as R, G, B and any byte in 32-bit lanes, written as 12 bytes (16 are stored:
// the last four belong to the next pixels and are written again after).
static inline void texture_simd_store_rgb4(__m128i words, uint8_t *dst) {
    const __m128i low3 = _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF), low64 = _mm_set_epi32(0, 0, -1, -1);
    // Each 64-bit lane: its two pixels' six bytes side by side.
    __m128i pairs = _mm_or_si128(_mm_and_si128(words, low3), _mm_slli_epi64(_mm_srli_epi64(words, 32), 24));
    // The upper lane's six bytes moved down to follow the lower lane's.
    __m128i packed =
        _mm_or_si128(_mm_and_si128(pairs, low64), _mm_srli_si128(_mm_andnot_si128(low64, pairs), 2));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), packed);
}
#else
#define TEXTURE_SIMD_SSE2 0
#endif
