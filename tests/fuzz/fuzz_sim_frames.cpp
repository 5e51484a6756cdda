// The simulation's frames on arbitrary world state: any cell words, entity positions and velocities (every bit
// pattern of a double), block index, clock and mouse. No frame may read or write outside the tables or break a
// rule that holds for any state.
#include <cstdlib>

#include "../sim/sim_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto next = [&, at = size_t{0}]() mutable {  // four bytes per number; zeros once the input runs out
        uint32_t value = 0;
        if (at + 4 <= size) std::memcpy(&value, data + at, 4);
        return at += 4, value;
    };
    random_world(next);
    for (uint32_t frame = 0, tick = next(); frame < 16; frame++)
        if (!random_frame(next, tick)) std::abort();
    return 0;
}
