#include "render/depth_steps.h"

// out[s] = start + s * slope for s in [0, n): each product and sum exact (see
// exact_depth_steps). The first is start itself: -0 + 0 would be +0.
static void write_run(double start, double slope, int64_t n, double* out)
{
    out[0] = start;
    for (int64_t s = 1; s < n; s++) out[s] = start + static_cast<double>(s) * slope;
}

void sum_depth_steps(double z, double dz, int64_t count, bool forward, double* out)
{
    for_each_depth_run(z, dz, count, [&](int64_t i, int64_t n, double first, double last, double step) {
        if (forward) write_run(first, step, n + 1, out + i);
        else write_run(last, -step, n + 1, out + (count - 1 - i - n));
    });
}
