#include "world/trig.h"

#include <cstring>

#include "world/numeric.h"
#include "world/trig_values.h"

double sin_table[TRIG_TABLE_SIZE];
double cos_table[TRIG_TABLE_SIZE];

void build_trig_tables()
{
    // Compiled in rather than computed: C libraries round some sines and cosines
    // differently in the last bit, and the frames must be the same on every one.
    static_assert(sizeof trig_sin_values == sizeof sin_table && sizeof trig_cos_values == sizeof cos_table);
    std::memcpy(sin_table, trig_sin_values, sizeof sin_table);
    std::memcpy(cos_table, trig_cos_values, sizeof cos_table);
}

int angle_index(double angle)
{
    // Truncation toward zero before the mask: -0.005 gives 0, -0.01 gives 1023.
    int64_t steps = clamp_to_int64(angle * 162.97466172610083);
    return static_cast<int>(static_cast<uint64_t>(steps) & 1023u);
}
