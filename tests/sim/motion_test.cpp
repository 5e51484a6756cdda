#include "sim/motion.h"

#include "sim_fixture.h"

namespace {

double single(double v) { return static_cast<double>(static_cast<float>(v)); }

}  // namespace

TEST_F(SimTest, IntegrateMotionTimeStep)
{
    place(ball(), ENTITY_BALL, 1.0, 2.0, 3.0, 0.2, 0.1, 0.0);
    script_override_ticks(1000);
    integrate_motion();  // the first call only takes the tick
    EXPECT_EQ(ball().x, 1.0);
    EXPECT_EQ(motion_tick, 1000u);
    script_override_ticks(1050);
    integrate_motion();
    EXPECT_DOUBLE_EQ(ball().x, 1.1);  // dt 0.5
    EXPECT_DOUBLE_EQ(ball().y, 2.05);

    // 48 ms across the wrap of the counter; dt goes through single precision.
    SetUp();
    place(ball(), ENTITY_BALL, 0.0, 0.0, 0.0, 0.1, 0.0, 0.0);
    motion_tick = 0xFFFFFFF0u;
    script_override_ticks(0x20u);
    integrate_motion();
    EXPECT_EQ(ball().x, single(0.48) * 0.1);
    EXPECT_EQ(motion_tick, 0x20u);
}

TEST_F(SimTest, IntegrateMotionVelocityTable)
{
    struct Case {
        const char* name;
        double heading, fwd, side, vx, vy;
        int calls;
        double want_vx, want_vy;
    };
    const float k = static_cast<float>(0.5 / 0.7);
    const Case cases[] = {
        {"drive adds a tenth per call", 0.0, 0.2, 0.0, 0.0, 0.0, 1, 0.02, 0.0},
        {"and again on the next call", 0.0, 0.2, 0.0, 0.0, 0.0, 2, 0.04, 0.0},
        {"speed limit on |vx|+|vy|", 0.0, 0.0, 0.0, 0.4, -0.3, 1, k * 0.4, k * -0.3},
        {"sum of exactly 0.5 is kept", 0.0, 0.0, 0.0, 0.25, -0.25, 1, 0.25, -0.25},
        {"heading -0.01 is index 1023", -0.01, 1.0, 0.0, 0.0, 0.0, 1, 0.1 * cos_table[1023],
         -0.1 * sin_table[1023]},
        {"heading -0.001 is index 0", -0.001, 1.0, 0.0, 0.0, 0.0, 1, 0.1, 0.0},
        {"side drive near a quarter turn", 1.58, 0.0, 1.0, 0.0, 0.0, 1,
         0.1 * sin_table[257], 0.1 * cos_table[257]},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        place(ball(), ENTITY_BALL, 5.5, 5.5, 0.375, t.vx, t.vy, 0.0);
        ball().heading = t.heading, ball().drive_fwd = t.fwd, ball().drive_side = t.side;
        script_override_ticks(1000);
        integrate_motion();
        for (int i = 0; i < t.calls; i++) {
            script_override_ticks(1000 + 10 * (i + 1));
            integrate_motion();
        }
        EXPECT_EQ(ball().vx, t.want_vx);
        EXPECT_EQ(ball().vy, t.want_vy);
    }
}

TEST_F(SimTest, IntegrateMotionMovesEverySlot)
{
    entity_count = 1;
    place(entities[31], ENTITY_BALL, 0.0, 0.0, 0.0, 0.0, 0.0, 0.5);
    entities[31].drive_up = 1.0;
    script_override_ticks(100);
    integrate_motion();
    script_override_ticks(200);
    integrate_motion();
    EXPECT_DOUBLE_EQ(entities[31].vz, 0.6);  // vz is not limited
    EXPECT_DOUBLE_EQ(entities[31].z, 0.6);
}

TEST_F(SimTest, ApplyCellForcesTable)
{
    struct Case {
        const char* name;
        uint16_t here, below;  // ramp of the ball's cell in its layer, and the cell under it
        double z;
        double want_vx, want_vy, want_vz;
    };
    // 250 ms between the calls: a pull of 0.2.
    const Case cases[] = {
        {"resting in layer 1: no gravity", 0, 0, 1.3, 0, 0, 0},
        {"above resting height: gravity", 0, 0, 1.4, 0, 0, -0.2},
        {"layer 0 above rest", 0, 0, 0.4, 0, 0, -0.2},
        {"pulled down an east ramp below", 0, RAMP_EAST, 1.2, -0.2, 0, 0},
        {"east wins over west", RAMP_WEST, RAMP_EAST, 1.2, -0.2, 0, 0},
        {"west ramp", RAMP_WEST, 0, 0.375, 0.2, 0, 0},
        {"south ramp", RAMP_SOUTH, 0, 0.375, 0, 0.2, 0},
        {"north ramp", RAMP_NORTH, 0, 0.375, 0, -0.2, 0},
        {"south before north", RAMP_NORTH, RAMP_SOUTH, 1.2, 0, 0.2, 0},
        {"no ramp pull from layer 2", 0, RAMP_EAST, 2.4, 0, 0, -0.2},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        int layer = static_cast<int>(t.z);
        if (layer < 2) cells[layer][4][6] = t.here;
        if (layer > 0) cells[layer - 1][4][6] = t.below;
        place(ball(), ENTITY_BALL, 4.5, 6.5, t.z);
        script_override_ticks(1000);
        apply_cell_forces();  // the first call pulls nothing
        EXPECT_EQ(ball().vz, 0.0);
        script_override_ticks(1250);
        apply_cell_forces();
        EXPECT_DOUBLE_EQ(ball().vx, t.want_vx);
        EXPECT_DOUBLE_EQ(ball().vy, t.want_vy);
        EXPECT_DOUBLE_EQ(ball().vz, t.want_vz);
        EXPECT_EQ(force_tick, 1250u);
    }
}

TEST_F(SimTest, ApplyCellForcesBlockFallsOnlyAboveItsFloor)
{
    const double heights[] = {1.5, 1.6};
    const double want_vz[] = {0.0, -0.2};
    for (int i = 0; i < 2; i++) {
        SetUp();
        place(ball(), ENTITY_BALL, 5.5, 5.5, 0.375);
        place(entities[1], ENTITY_BLOCK, 10.0, 12.0, heights[i]);
        entity_count = 2;
        block_index = 1;
        force_tick = 4294967146u;  // 250 ms before a wrap to 100
        script_override_ticks(100);
        apply_cell_forces();
        EXPECT_DOUBLE_EQ(entities[1].vz, want_vz[i]) << heights[i];
    }
}
