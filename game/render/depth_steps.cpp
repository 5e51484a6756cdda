#include "render/depth_steps.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// out[s] = start + s * slope for s in [0, n): each product and sum exact (see
// exact_depth_steps). The first is start itself: -0 + 0 would be +0.
void write_run(double start, double slope, int64_t n, double* out)
{
    out[0] = start;
    int64_t s = 1;
#if defined(__SSE2__)
    // Four independent pairs, so that the counters' additions do not wait on each other.
    const __m128d base = _mm_set1_pd(start);
    const __m128d d = _mm_set1_pd(slope);
    const __m128d eight = _mm_set1_pd(8.0);
    __m128d t[4] = {_mm_set_pd(2.0, 1.0), _mm_set_pd(4.0, 3.0), _mm_set_pd(6.0, 5.0), _mm_set_pd(8.0, 7.0)};
    for (; s + 8 <= n; s += 8) {
        for (int q = 0; q < 4; q++) {
            _mm_storeu_pd(out + s + 2 * q, _mm_add_pd(base, _mm_mul_pd(t[q], d)));
            t[q] = _mm_add_pd(t[q], eight);
        }
    }
#endif
    for (; s < n; s++) out[s] = start + static_cast<double>(s) * slope;
}

}  // namespace

void sum_depth_steps(double z, double dz, int64_t count, bool forward, double* out)
{
    int64_t i = 0;  // index of z in the sequence
    while (i < count) {
        double d = 0.0;
        int64_t n = exact_depth_steps(z, dz, count - 1 - i, &d);
        double last = n > 0 ? z + static_cast<double>(n) * d : z;
        if (forward) write_run(z, d, n + 1, out + i);
        else write_run(last, -d, n + 1, out + (count - 1 - i - n));
        i += n + 1;
        z = last + dz;
    }
}
