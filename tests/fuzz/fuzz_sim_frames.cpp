// The simulation's frames on arbitrary world state: any cell words, entity positions and
// velocities (every bit pattern of a double), block index, clock and mouse. No frame may
// read or write outside the tables or break a rule that holds for any state.
#include <cstdlib>
#include <cstring>

#include "../sim/sim_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Four bytes per number; zeros once the input runs out.
    auto next = [&]() {
        uint32_t value = 0;
        size_t n = size < 4 ? size : 4;
        std::memcpy(&value, data, n);
        data += n, size -= n;
        return value;
    };
    reset_sim();
    random_world(next);
    uint32_t tick = next();
    for (int frame = 0; frame < 16; frame++)
        if (!random_frame(next, tick)) std::abort();
    return 0;
}
