// The pixel loops' choice of vector width: 256 bits where the processor has them.
#include "render/pixel_loops.h"

#if defined(MAZE_HAS_AVX2_PATH)
// Detected before main; __builtin_cpu_init makes the detection independent of the order
// in which static initialisers run.
static bool use_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#endif

bool set_wide_vectors(bool wide)
{
#if defined(MAZE_HAS_AVX2_PATH)
    use_avx2 = wide && (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return use_avx2;
#else
    (void)wide;
    return false;
#endif
}

bool wide_vectors_in_use()
{
#if defined(MAZE_HAS_AVX2_PATH)
    return use_avx2;
#else
    return false;
#endif
}
