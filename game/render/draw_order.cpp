#include "render/draw_order.h"

// a nearer than b; not-a-number is never nearer.
static bool nearer(double a, double b)
{
    return a > b || (b != b && a == a);
}

void order_nearest_first(const double* nearness, int count, int start, int* order)
{
    if (count <= 0) return;
    int seed = start;
    if (start < 0 || start >= count) {
        seed = 0;
        for (int i = 1; i < count; i++) {
            if (!nearer(nearness[seed], nearness[i])) seed = i;
        }
    }
    int before = seed - 1;  // the next item before the run, or -1
    int after = seed + 1;   // and after it, or count
    order[0] = seed;
    for (int k = 1; k < count; k++) {
        const bool take_before = after == count || (before >= 0 && !nearer(nearness[after], nearness[before]));
        order[k] = take_before ? before-- : after++;
    }
}
