// The real routines frame by frame in the game's order: thousands of random frames on
// random worlds keep the rules that hold whatever the state.
#include <gtest/gtest.h>

#include "sim_world.h"

TEST(Sim, RandomFramesKeepTheRules)
{
    std::mt19937 rng(20261206);
    for (uint32_t world = 0, tick = rng(); world < 150; world++) {
        random_world(rng);
        for (int frame = 0; frame < 40; frame++) ASSERT_TRUE(random_frame(rng, tick)) << world << " " << frame;
    }
}
