// The wanderers' 15-bit pseudo-random numbers: the classic linear congruential
// generator, so that a run is reproducible on every machine.
#pragma once

#include <cstdint>

// Restarts the sequence; before the first call it is as if seeded with 1.
void seed_random(uint32_t seed);
// The next value, 0..32767.
int next_random();
