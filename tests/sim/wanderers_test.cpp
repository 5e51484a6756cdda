#include <gtest/gtest.h>

#include "sim_world.h"

TEST(Sim, UpdateWanderersWallsAndLimitsTable)
{
    // west, east, south, north: the words of the cells at rows 3 and 5, columns 4 and 6 beside the wanderer's
    // (4, 5). Wanted: x vx drive_fwd y vy drive_side, x and y before the jitter (41 then 18467 from seed 1).
    struct Case { const char* name; int west, east; double x, vx, y, want[6]; int south, north; double vy; };
    auto jitter = [](int r) { return r * 0.1 / 32767 - 0.05; };
    seed_random(1);  // the generator's classic first values, its state wrapping from the second
    for (int want : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(next_random(), want);
    const Case cases[] = {
        {"west wall inside the margin", CELL_EAST, 0, 4.2, -.3, 5.5, {4.375, 1, .9, 5.5}},
        {"west wall outside the margin", CELL_EAST, 0, 4.6, -.3, 5.5, {4.6, -.3, .9, 5.5}},
        {"east test after the rebound", CELL_EAST, CELL_WEST, 4.2, -.3, 5.5, {4.375, 1, -3, 5.5}},
        {"standing at the west wall", CELL_EAST, 0, 4.2, 0, 5.5, {4.375, 1, 0, 5.5}},
        {"moving away from the wall", CELL_EAST, 0, 4.2, .3, 5.5, {4.2, .3, 0, 5.5}},
        {"east wall", 0, CELL_WEST, 4.7, .2, 5.5, {4.625, -1, -.6, 5.5}},
        {"speed cap", 0, 0, 4.5, 3, 5.5, {4.5, 2, 0, 5.5}},
        {"no cap below", 0, 0, 4.5, -3, 5.5, {4.5, -3, 0, 5.5}},
        {"18.52 after the jitter", 0, 0, 18.52 - jitter(41), .3, 5.5, {17.5 - jitter(41), -1, -1, 5.5}},
        {"1.49 after the jitter", 0, 0, 1.49 - jitter(41), -.3, 5.5, {2 - jitter(41), 1, 1, 5.5}},
        {"y beyond 18.5", 0, 0, 4.5, 0, 18.6, {4.5, 0, 0, 17.5 - jitter(18467), -1, -1}},
        {"y below 1.5", 0, 0, 4.5, 0, 1.4, {4.5, 0, 0, 2 - jitter(18467), 1, 1}},
        {"south wall inside the margin", 0, 0, 4.5, 0, 5.2, {4.5, 0, 0, 5.375, 1, .9}, CELL_NORTH, 0, -.3},
        {"south wall at the margin", 0, 0, 4.5, 0, 5.375, {4.5, 0, 0, 5.375, -.3, .9}, CELL_NORTH, 0, -.3},
        {"south wall outside the margin", 0, 0, 4.5, 0, 5.6, {4.5, 0, 0, 5.6, -.3, .9}, CELL_NORTH, 0, -.3},
        {"standing at the south wall", 0, 0, 4.5, 0, 5.2, {4.5, 0, 0, 5.375, 1, 0}, CELL_NORTH, 0, 0},
        {"moving away from the south wall", 0, 0, 4.5, 0, 5.2, {4.5, 0, 0, 5.2, .3, 0}, CELL_NORTH, 0, .3},
        {"north wall inside the margin", 0, 0, 4.5, 0, 5.7, {4.5, 0, 0, 5.625, -1, -.6}, 0, CELL_SOUTH, .2},
        {"north wall at the margin", 0, 0, 4.5, 0, 5.625, {4.5, 0, 0, 5.625, .2, -.6}, 0, CELL_SOUTH, .2},
        {"standing at the north wall", 0, 0, 4.5, 0, 5.7, {4.5, 0, 0, 5.625, -1, 0}, 0, CELL_SOUTH, 0},
        {"north wall outside the margin", 0, 0, 4.5, 0, 5.5, {4.5, 0, 0, 5.5, .2, -.6}, 0, CELL_SOUTH, .2},
        {"north test after the rebound", 0, 0, 4.5, 0, 5.2, {4.5, 0, 0, 5.375, 1, -3}, CELL_NORTH, CELL_SOUTH, -.3},
        {"speed cap along y", 0, 0, 4.5, 0, 5.5, {4.5, 0, 0, 5.5, 2, 0}, 0, 0, 3},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        reset_sim();
        cells[0][3][5] = t.west, cells[0][5][5] = t.east, cells[0][4][4] = t.south, cells[0][4][6] = t.north;
        Entity& w = place(1, ENTITY_WANDERER, t.x, t.y, 0.375, t.vx, t.vy);
        update_wanderers(test_calendar);
        const double got[6] = {w.x - jitter(41), w.vx, w.drive_fwd, w.y - jitter(18467), w.vy, w.drive_side};
        for (int i = 0; i < 6; i++) EXPECT_NEAR(got[i], t.want[i], 1e-12) << "x vx fwd y vy side " << i;
    }
}

TEST(Sim, UpdateWanderersSharedCountdown)
{
    reset_sim();
    Entity& low = place(1, ENTITY_WANDERER, 9.5, 9.5, 0.375);
    place(2, ENTITY_WANDERER, 12.5, 12.5, 0.375);
    seed_random(1000000005u);  // the calendar second at ticks 5000 to 5999
    const double fwd = next_random() * 2 / 32767.0 - 1, side = next_random() * 2 / 32767.0 - 1;
    // Every 60th call draws, for the lower slot only: in the same second the same drive,
    // in the next another.
    for (uint32_t tick : {5000u, 5999u, 6000u}) {
        low.drive_fwd = low.drive_side = 0;
        for (int call = 1; call <= 60; call++, calendar_tick = tick, update_wanderers(test_calendar))
            EXPECT_EQ(low.drive_fwd, 0.0) << call;
        EXPECT_EQ(low.drive_fwd == fwd && low.drive_side == side, tick < 6000) << tick;
        EXPECT_EQ(entities[2].drive_fwd, 0.0);
    }
    // Frames without wanderers run the countdown down, never past its bottom; the next
    // wanderer met draws at once.
    entity_count = 1, wander_countdown = INT32_MIN + 1;
    update_wanderers(test_calendar), update_wanderers(test_calendar);
    EXPECT_EQ(wander_countdown, INT32_MIN);
    entity_count = 2, update_wanderers(test_calendar);
    EXPECT_EQ(wander_countdown, 60);
}
