// The real routines frame by frame in the game's order: a ball steered through a small
// maze, and thousands of random frames on random worlds.
#include <gtest/gtest.h>

#include "sim_world.h"

TEST(Sim, ScenarioRollIntoWallThenUpRamp)
{
    reset_sim();
    cells[0][9][3] = CELL_SOLID;  // its west face is at x = 9
    cells[0][12][4] = RAMP_EAST;  // rises from x = 12 to the cube tops at x = 13
    for (int r = 13; r < 20; r++) cells[0][r][4] = CELL_SOLID;
    Entity& b = place(0, ENTITY_BALL, 5.5, 3.5, 0.375);
    uint32_t tick = 1000;
    // At yaw 0 the mouse moved left pushes toward +x: ten frames of push, then coast.
    for (int frame = 0; frame < 60 && b.vx >= 0; frame++) {
        ASSERT_TRUE(sim_frame(tick += 50, frame < 10 ? -40 : 0, 0, false, false));
        ASSERT_LE(b.x, 8.625);
    }
    EXPECT_EQ(std::pair(b.x, b.vx), std::pair(8.625, -0.18));  // stopped one radius from the face, sent back
    b = {ENTITY_BALL, 9.5, 4.5, 0.375};
    bool on_top = false;  // resting on the cube tops of layer 0 at some frame
    for (int frame = 0; frame < 48; frame++) {
        ASSERT_TRUE(sim_frame(tick += 50, -100, 0, false, false));
        ASSERT_GE(b.vx, 0.0);  // never turned back by the cubes' west face
        EXPECT_TRUE(b.x < 12.2 || b.x > 13 || b.z > 0.6) << b.x << " " << b.z;  // on the slope
        EXPECT_TRUE(b.x < 13.2 || b.x > 19.8 || std::fabs(b.z - 1.41) < 0.04) << b.x << " " << b.z;
        on_top = on_top || b.z == 1.375;
    }
    EXPECT_TRUE(on_top && b.x > 19.8) << b.x;
}

TEST(Sim, RandomFramesKeepTheRules)
{
    std::mt19937 rng(20261206);
    for (uint32_t world = 0, tick = rng(); world < 150; world++) {
        random_world(rng);
        for (int frame = 0; frame < 40; frame++) ASSERT_TRUE(random_frame(rng, tick)) << world << " " << frame;
    }
}
