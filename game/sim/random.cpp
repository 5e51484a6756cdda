#include "sim/random.h"

namespace {

// Unseeded, the sequence is the one that seed 1 gives.
uint32_t random_state = 1;

}  // namespace

void seed_random(uint32_t seed)
{
    random_state = seed;
}

int next_random()
{
    // Unsigned arithmetic wraps modulo 2^32, which is the generator's definition.
    random_state = random_state * 214013u + 2531011u;
    return static_cast<int>((random_state >> 16) & 0x7FFFu);
}
