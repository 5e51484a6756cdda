// Steering by the mouse, the camera's follow and the motion step; then the real routines frame
// by frame in the game's order.
#include <gtest/gtest.h>

#include "sim_world.h"

TEST(Sim, SteerPlayerTable)
{
    // buttons: 1 left, 2 right, 4 the mouse cannot be read. Wanted: yaw, pitch, distance and the drive
    // (fwd, side, up), which starts at (0.3, 0.4, 0.1).
    struct Case { const char* name; int32_t dx, dy, buttons; double yaw, pitch, distance, z, want[6]; };
    const double turn = 0.00157079632675;  // radians per count
    const Case cases[] = {
        {"250 acts like 100", 250, -250, 0, 0, .1, 7, .375, {0, .1, 7, -.5, -.5, 0}},
        {"both buttons only turn", 10, 20, 3, 0, .1, 7, .375, {10 * turn, .1 + 20 * turn, 7, .3, .4, .1}},
        // A turn that lands exactly on the full turn (6.283185307) either way goes back to 0.
        {"yaw up to the full turn", 100, 0, 2, 6.126105674325, .1, 7, .375, {0, .1, 7, .3, .4, .1}},
        {"pitch down to the full turn", 0, -100, 2, 0, -6.126105674325, 7, .375, {0, 0, 7, .3, .4, .1}},
        {"distance 2.6 - 0.5 is 2.5", 0, -100, 1, 0, .1, 2.6, .375, {0, .1, 2.5, .3, .4, .1}},
        {"in the air: drive kept", 100, 100, 0, 0, .1, 7, .775, {0, .1, 7, .3, .4, .1}},
        {"at rest on layer 1", 20, 40, 0, 0, .1, 7, 1.375, {0, .1, 7, -.1, .2, 0}},
        {"just above rest", 20, 40, 0, 0, .1, 7, 1.376, {0, .1, 7, .3, .4, .1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_sim();
        Entity& b = place(0, ENTITY_BALL, 5.5, 5.5, c.z);
        b.drive_fwd = .3, b.drive_side = .4, b.drive_up = .1;
        camera_yaw = c.yaw, camera_pitch = c.pitch, camera_distance = c.distance;
        steer_player(c.dx, c.dy, c.buttons & 1, c.buttons & 2);
        const double got[] = {camera_yaw, camera_pitch, camera_distance, b.drive_fwd, b.drive_side, b.drive_up};
        for (int i = 0; i < 6; i++) EXPECT_DOUBLE_EQ(got[i], c.want[i]) << "yaw pitch distance fwd side up: " << i;
    }
}

TEST(Sim, FollowCameraTable)
{
    // The focus moves only when the ball leaves the dead zone (0.8 and 0.6 camera distances).
    const struct { const char* name; double x, y, distance, focus_x, focus_y; } cases[] = {
        {"past +x", 11, 5, 7, 5.0571, 5},   {"past -x", -1, 5, 7, 4.9429, 5},   {"past +y", 5, 9.5, 7, 5, 5.0429},
        {"past -y", 5, .5, 7, 5, 4.9571},   {"in the dead zone", 10.5, 9, 7, 5, 5}, {"camera close", 7, 5, 1, 6.2, 5},
        {"a non-finite ball moves nothing", INFINITY, NAN, 7, 5, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_sim();
        camera_distance = c.distance;
        place(0, ENTITY_BALL, c.x, c.y, 0.375);
        follow_camera();
        EXPECT_LT(std::hypot(camera_focus_x - c.focus_x, camera_focus_y - c.focus_y), 1e-4);
    }
}

TEST(Sim, IntegrateMotionTable)
{
    // The ball sits in slot 31, beyond entity_count 1: every slot moves all the same. It starts at x = 1, z = 0
    // with v = (vx, vy, vz); wanted: x z vx vy. A tick of 0 ends the calls.
    struct Case { const char* name; uint32_t ticks[3]; double heading, fwd, side, v[3], want[4]; };
    build_trig_tables();
    const double k = float(0.5 / 0.7), dt = float(0.48), c = cos_table[1023], s = sin_table[1023];  // k: 0.714285..
    const Case cases[] = {
        {"first call: no move; 50 ms: dt 0.5", {1000, 1050}, 0, 0, 0, {.2, .1, .6}, {1.1, .3, .2, .1}},  // vz unlimited
        {"48 ms across the wrap: dt a float", {0xFFFFFFF0u, 0x20}, 0, 0, 0, {.2}, {1 + .2 * dt, 0, .2}},
        {"a tenth of the drive per call", {1000, 1100}, 0, .2, 0, {}, {1.02, 0, .02}},
        {"whatever the time between", {1000, 1100, 1150}, 0, .2, 0, {}, {1.04, 0, .04}},
        {"sum 0.7 scaled: 0.2857, -0.2143", {1000, 1100}, 0, 0, 0, {.4, -.3}, {1 + k * .4, 0, k * .4, k * -.3}},
        {"heading -0.01 is index 1023", {1000, 1100}, -.01, 1, 0, {}, {1 + .1 * c, 0, .1 * c, -.1 * s}},
        {"heading -0.001 is index 0", {1000, 1100}, -.001, 1, 0, {}, {1.1, 0, .1, 0}},
        {"side drive at heading -0.01", {1000, 1100}, -.01, 0, 1, {}, {1 + .1 * s, 0, .1 * s, .1 * c}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        reset_sim();
        Entity& b = place(31, ENTITY_BALL, 1, 0, 0, t.v[0], t.v[1], t.v[2]);
        b.heading = t.heading, b.drive_fwd = t.fwd, b.drive_side = t.side, entity_count = 1;
        for (int i = 0; i < 3 && t.ticks[i]; i++) integrate_motion(t.ticks[i]);
        const double got[4] = {b.x, b.z, b.vx, b.vy};
        for (int i = 0; i < 4; i++) EXPECT_DOUBLE_EQ(got[i], t.want[i]) << "x z vx vy: " << i;
    }
}

// Thousands of random frames on random worlds keep the rules that hold whatever the state.
TEST(Sim, RandomFramesKeepTheRules)
{
    std::mt19937 rng(20261206);
    for (uint32_t world = 0, tick = rng(); world < 150; world++) {
        random_world(rng);
        for (int frame = 0; frame < 40; frame++) ASSERT_TRUE(random_frame(rng, tick)) << world << " " << frame;
    }
}
