// Whether the texture code may use SSE2 vector instructions. Every x86-64 processor has them
// (and 32-bit builds that ask for them); other processors take the scalar paths, which store the
// same bytes.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TEXTURE_SIMD_SSE2 1
#include <emmintrin.h>
#else
#define TEXTURE_SIMD_SSE2 0
#endif
