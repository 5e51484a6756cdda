#include "sim/random.h"
#include "sim_fixture.h"

namespace {

// What the jitter adds for a random value r.
double jitter(int r) { return r * 0.1 / 32767 - 0.05; }

}  // namespace

TEST(Random, ClassicSequence)
{
    seed_random(1);
    const int seed_one[] = {41, 18467, 6334, 26500, 19169};
    for (int want : seed_one) EXPECT_EQ(next_random(), want);
    // The state wraps modulo 2^32: 0xFFFFFFFF * 214013 + 2531011 = 0x00235AC6.
    seed_random(0xFFFFFFFFu);
    EXPECT_EQ(next_random(), 0x23);  // 35
}

TEST_F(SimTest, UpdateWanderersWallsAndLimitsTable)
{
    struct Case {
        const char* name;
        uint16_t west, east;  // words of the neighbours at rows 3 and 5 of layer 0
        double x, vx, y;
        double want_x, want_vx, want_fwd;  // x before the jitter
        double want_y, want_vy, want_side;
    };
    // Seed 1: the jitters use 41 then 18467.
    const Case cases[] = {
        {"moving toward a west wall, inside the margin", CELL_EAST, 0, 4.2, -0.3, 5.5, 4.375, 1.0,
         0.9, 5.5, 0, 0},
        {"moving toward it outside the margin", CELL_EAST, 0, 4.6, -0.3, 5.5, 4.6, -0.3, 0.9, 5.5,
         0, 0},
        {"the east test sees the rebound", CELL_EAST, CELL_WEST, 4.2, -0.3, 5.5, 4.375, 1.0, -3.0,
         5.5, 0, 0},
        {"moving away from the wall", CELL_EAST, 0, 4.2, 0.3, 5.5, 4.2, 0.3, 0, 5.5, 0, 0},
        {"east wall", 0, CELL_WEST, 4.7, 0.2, 5.5, 4.625, -1.0, -0.6, 5.5, 0, 0},
        {"speed cap", 0, 0, 4.5, 3.0, 5.5, 4.5, 2.0, 0, 5.5, 0, 0},
        {"negative speed is not capped", 0, 0, 4.5, -3.0, 5.5, 4.5, -3.0, 0, 5.5, 0, 0},
        {"beyond 18.5 after the jitter", 0, 0, 18.52 - jitter(41), 0.3, 5.5, 17.5 - jitter(41),
         -1.0, -1.0, 5.5, 0, 0},
        {"below 1.5 after the jitter", 0, 0, 1.49 - jitter(41), -0.3, 5.5, 2.0 - jitter(41), 1.0,
         1.0, 5.5, 0, 0},
        {"y beyond 18.5", 0, 0, 4.5, 0, 18.6, 4.5, 0, 0, 17.5 - jitter(18467), -1.0, -1.0},
        {"y below 1.5", 0, 0, 4.5, 0, 1.4, 4.5, 0, 0, 2.0 - jitter(18467), 1.0, 1.0},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        cells[0][3][5] = t.west;
        cells[0][5][5] = t.east;
        place(ball(), ENTITY_BALL, 30.5, 30.5, 0.375);
        place(entities[1], ENTITY_WANDERER, t.x, t.y, 0.375, t.vx, 0);
        entity_count = 2;
        update_wanderers();
        const Entity& w = entities[1];
        EXPECT_NEAR(w.x, t.want_x + jitter(41), 1e-12);
        EXPECT_DOUBLE_EQ(w.vx, t.want_vx);
        EXPECT_DOUBLE_EQ(w.drive_fwd, t.want_fwd);
        EXPECT_NEAR(w.y, t.want_y + jitter(18467), 1e-12);
        EXPECT_DOUBLE_EQ(w.vy, t.want_vy);
        EXPECT_DOUBLE_EQ(w.drive_side, t.want_side);
    }
}

TEST_F(SimTest, UpdateWanderersSharedCountdown)
{
    place(ball(), ENTITY_BALL, 30.5, 30.5, 0.375);
    place(entities[1], ENTITY_WANDERER, 9.5, 9.5, 0.375);
    place(entities[2], ENTITY_WANDERER, 12.5, 12.5, 0.375);
    entity_count = 3;
    script_override_ticks(5000);  // calendar second 1000000005
    for (int call = 1; call <= 59; call++) update_wanderers();
    EXPECT_EQ(wander_countdown, 1);
    EXPECT_EQ(entities[1].drive_fwd, 0.0);
    update_wanderers();  // the 60th call draws, for the lower slot only
    seed_random(1000000005u);
    double fwd = next_random() * 2 / 32767.0 - 1;
    double side = next_random() * 2 / 32767.0 - 1;
    EXPECT_EQ(entities[1].drive_fwd, fwd);
    EXPECT_EQ(entities[1].drive_side, side);
    EXPECT_EQ(entities[2].drive_fwd, 0.0);
    EXPECT_EQ(wander_countdown, 60);

    // Sixty calls later, within the same calendar second: the same drive again.
    entities[1].drive_fwd = entities[1].drive_side = 0;
    script_override_ticks(5999);
    for (int call = 1; call <= 60; call++) update_wanderers();
    EXPECT_EQ(entities[1].drive_fwd, fwd);
    EXPECT_EQ(entities[1].drive_side, side);
    EXPECT_EQ(entities[2].drive_fwd, 0.0);

    // The next second gives another drive.
    script_override_ticks(6000);
    for (int call = 1; call <= 60; call++) update_wanderers();
    EXPECT_NE(entities[1].drive_fwd, fwd);
}

TEST_F(SimTest, UpdateWanderersCountdownWithoutWanderers)
{
    // Frames without wanderers run the countdown below zero, and the first wanderer met
    // afterwards draws at once; the countdown never overflows.
    wander_countdown = INT32_MIN + 1;
    update_wanderers();
    update_wanderers();
    EXPECT_EQ(wander_countdown, INT32_MIN);
    place(entities[1], ENTITY_WANDERER, 9.5, 9.5, 0.375);
    entity_count = 2;
    update_wanderers();
    EXPECT_EQ(wander_countdown, 60);
    EXPECT_NE(entities[1].drive_fwd, 0.0);
}
