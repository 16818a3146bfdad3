/* Forced into libvorbis's wasm build (with -DVORBIS_FPU_CONTROL, which makes lib/os.h skip
 * its own fallback). Without an x87 or SSE2 path os.h converts samples with
 * (int)floor(f+.5), which rounds halves up, while the x86 builds round them to even;
 * lrint rounds to even too (wasm's f64.nearest), so ov_read's ties come out the same. */
#include <math.h>

typedef int vorbis_fpu_control;

static inline int vorbis_ftoi(double f)
{
    return (int)lrint(f);
}

#define vorbis_fpu_setround(fpu) ((void)(fpu))
#define vorbis_fpu_restore(fpu) ((void)(fpu))
