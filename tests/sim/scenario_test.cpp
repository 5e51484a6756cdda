// The ball driven frame by frame through the real routines in the game's frame order,
// with the mouse and the clock from the scripted platform.
#include <cstdio>
#include <cstdlib>

#include "sim/steering.h"
#include "sim_fixture.h"

namespace {

uint32_t tick = 1000;

// One frame in the game's order; the heading alignment is the shell's step.
void run_frame(int32_t dx, int32_t dy)
{
    tick += 50;
    script_override_ticks(tick);
    script_override_mouse(dx, dy, false, false);
    update_wanderers();
    steer_player();
    integrate_motion();
    update_player();
    Entity& b = entities[player_index];
    b.orient_a = b.orient_b = 0;
    b.heading = camera_yaw;
    follow_camera();
    if (std::getenv("SIM_TRACE"))
        std::printf("x %.6f y %.6f z %.6f vx %.6f vz %.6f\n", b.x, b.y, b.z, b.vx, b.vz);
}

}  // namespace

TEST_F(SimTest, ScenarioRollIntoWall)
{
    cells[0][9][3] = CELL_SOLID;  // its west face is at x = 9
    place(ball(), ENTITY_BALL, 5.5, 3.5, 0.375);
    // At yaw 0 the mouse moved left pushes toward +x; ten frames of push, then coast.
    int frame = 0;
    for (; frame < 10; frame++) run_frame(-40, 0);
    EXPECT_DOUBLE_EQ(ball().vx, 0.18);  // the first frame only takes the tick
    while (ball().vx > 0 && frame < 100) {
        EXPECT_LT(ball().x, 8.625);
        run_frame(0, 0);
        frame++;
    }
    EXPECT_EQ(ball().x, 8.625);  // stopped at one radius from the face, and sent back
    EXPECT_DOUBLE_EQ(ball().vx, -0.18);
    EXPECT_EQ(ball().z, 0.375);

    // Pushing on against the wall never gets the ball past it.
    int contacts = 0;
    for (int i = 0; i < 100; i++) {
        run_frame(-100, 0);
        EXPECT_LE(ball().x, 8.625);
        if (ball().x == 8.625) contacts++;
    }
    EXPECT_GE(contacts, 3);
    EXPECT_EQ(level_done, 0);
}

TEST_F(SimTest, ScenarioUpTheRamp)
{
    cells[0][12][3] = RAMP_EAST;  // rises from x = 12 to the cube tops at x = 13
    for (int r = 13; r < 20; r++) cells[0][r][3] = CELL_SOLID;
    place(ball(), ENTITY_BALL, 9.5, 3.5, 0.375);
    bool on_top = false;
    for (int frame = 0; frame < 48; frame++) {
        run_frame(-100, 0);
        const Entity& b = ball();
        EXPECT_GE(b.vx, 0.0);  // never turned back by the cubes' west face
        if (b.x < 11.8) {
            EXPECT_EQ(b.z, 0.375);
        } else if (b.x < 13.0) {
            EXPECT_GT(b.z, 0.375);  // on the slope
        } else if (b.x < 19.8) {
            EXPECT_GE(b.z, 1.375);  // on the cube tops of layer 0
            EXPECT_LT(b.z, 1.45);
            if (b.z == 1.375) on_top = true;
        }
    }
    EXPECT_TRUE(on_top);
    EXPECT_GT(ball().x, 19.8);
    EXPECT_GT(camera_focus_x, 5.0);  // the camera followed
}
