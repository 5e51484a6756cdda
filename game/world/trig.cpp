#include "world/trig.h"

#include <cmath>

#include "world/numeric.h"

double sin_table[TRIG_TABLE_SIZE];
double cos_table[TRIG_TABLE_SIZE];

void build_trig_tables()
{
    for (int i = 0; i < TRIG_TABLE_SIZE; i++) {
        // Divide first, then multiply: the exact order fixes the last bit of each entry.
        double a = (i / 1024.0) * 6.283185307179586;
        sin_table[i] = std::sin(a);
        cos_table[i] = std::cos(a);
    }
}

int angle_index(double angle)
{
    // Truncation toward zero before the mask: -0.005 gives 0, -0.01 gives 1023.
    int64_t steps = clamp_to_int64(angle * 162.97466172610083);
    return static_cast<int>(static_cast<uint64_t>(steps) & 1023u);
}
