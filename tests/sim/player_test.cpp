// The two halves of update_player: the maze's pull on the ball, and its collisions.
#include <gtest/gtest.h>

#include "sim_world.h"

// A ball alone, before and after (x y z vx vy vz), with up to two cell words; a cell `at` is named by
// layer * 10000 + row * 100 + column.
struct BallCase { const char* name; double before[6], after[6]; int at, word, at2, word2; };

template <size_t N> void run_ball_cases(void (*routine)(), const BallCase (&cases)[N])
{
    for (const BallCase& t : cases) {
        SCOPED_TRACE(t.name);
        reset_sim();
        cells[t.at / 10000][t.at / 100 % 100][t.at % 100] |= t.word;
        cells[t.at2 / 10000][t.at2 / 100 % 100][t.at2 % 100] |= t.word2;
        Entity& e = place(0, ENTITY_BALL, t.before[0], t.before[1], t.before[2], t.before[3], t.before[4], t.before[5]);
        routine();
        const double got[6] = {e.x, e.y, e.z, e.vx, e.vy, e.vz};
        for (int i = 0; i < 6; i++) EXPECT_NEAR(got[i], t.after[i], 1e-12) << "x y z vx vy vz " << i;
    }
}

// D: a corner push-out along a diagonal, 3.1 -> 3.2652.
static constexpr double R = 0.375, lift = 0.15533008575, D = 0.26516504294495535;

TEST(Sim, ApplyCellForcesTable)
{
    // Two calls 250 ms apart across the wrap of the clock: the first pulls nothing, then 0.2.
    auto pull_for_250_ms = [] {
        for (uint32_t tick : {0xFFFFFF6Au, 100u}) apply_cell_forces(tick);
    };
    const BallCase cases[] = {
        {"resting in layer 1", {4.5, 6.5, 1.3}, {4.5, 6.5, 1.3}},
        {"above rest in layer 1", {4.5, 6.5, 1.4}, {4.5, 6.5, 1.4, 0, 0, -.2}},
        {"down an east ramp below", {4.5, 6.5, 1.2}, {4.5, 6.5, 1.2, -.2}, 406, RAMP_EAST},
        {"east before west", {4.5, 6.5, 1.2}, {4.5, 6.5, 1.2, -.2}, 406, RAMP_EAST, 10406, RAMP_WEST},
        {"west ramp", {4.5, 6.5, R}, {4.5, 6.5, R, .2}, 406, RAMP_WEST},
        {"south ramp", {4.5, 6.5, R}, {4.5, 6.5, R, 0, .2}, 406, RAMP_SOUTH},
        {"north ramp", {4.5, 6.5, R}, {4.5, 6.5, R, 0, -.2}, 406, RAMP_NORTH},
        {"south before north", {4.5, 6.5, 1.2}, {4.5, 6.5, 1.2, 0, .2}, 406, RAMP_SOUTH, 10406, RAMP_NORTH},
        {"no ramp pull in layer 2", {4.5, 6.5, 2.4}, {4.5, 6.5, 2.4, 0, 0, -.2}, 10406, RAMP_EAST},
    };
    run_ball_cases(pull_for_250_ms, cases);
    for (const double z : {1.5, 1.6}) {  // the block falls only above 1.5
        reset_sim();
        place(block_index = 1, ENTITY_BLOCK, 10, 12, z), pull_for_250_ms();
        EXPECT_DOUBLE_EQ(entities[1].vz, z == 1.5 ? 0 : -.2) << z;
    }
}

TEST(Sim, ResolveCollisionsTable)
{
    const BallCase cases[] = {
        {"west face", {3.3, 5.5, R, -.2, .1}, {3.375, 5.5, R, .2, .1}, 205, CELL_EAST},
        {"west face at the radius", {3.375, 5.5, R, -.2}, {3.375, 5.5, R, .2}, 205, CELL_EAST},
        {"west face out of reach", {3.38, 5.5, R, -.2}, {3.38, 5.5, R, -.2}, 205, CELL_EAST},
        {"west ramp's face open", {3.3, 5.5, R, -.2}, {3.3, 5.5, R, -.2}, 205, CELL_EAST | RAMP_WEST},
        {"east face", {3.7, 5.5, R, .2}, {3.625, 5.5, R, -.2}, 405, CELL_WEST},
        {"east face at the radius", {3.625, 5.5, R, .2}, {3.625, 5.5, R, -.2}, 405, CELL_WEST},
        {"east ramp's face open", {3.7, 5.5, R, .2}, {3.7, 5.5, R, .2}, 405, CELL_WEST | RAMP_EAST},
        {"south face", {3.5, 5.2, R, 0, -.1}, {3.5, 5.375, R, 0, .1}, 304, CELL_NORTH},
        {"north face", {3.5, 5.8, R, 0, .1}, {3.5, 5.625, R, 0, -.1}, 306, CELL_SOUTH},
        {"one face per pass", {3.3, 5.2, R, -.1, -.1}, {3.375, 5.2, R, .1, -.1}, 205, CELL_EAST, 304, CELL_NORTH},
        {"south-west corner", {3.1, 5.1, R, .2, -.1}, {3 + D, 5 + D, R, .1, -.2}, 204, CELL_NORTH},
        {"south-east corner", {3.9, 5.1, R, .2, -.1}, {4 - D, 5 + D, R, -.1, .2}, 404, CELL_WEST},
        {"north-east corner", {3.9, 5.9, R, .2, -.1}, {4 - D, 6 - D, R, .1, -.2}, 406, CELL_SOUTH},
        {"north-west corner", {3.1, 5.9, R, .2, -.1}, {3 + D, 6 - D, R, -.1, .2}, 206, CELL_EAST},
        {"corner at the radius", {3.375, 5, R, .2, -.1}, {3.375, 5, R, .2, -.1}, 204, CELL_NORTH},
        {"centre on the corner", {3, 5, R, .2, -.1}, {3 + D, 5 + D, R, .1, -.2}, 204, CELL_NORTH},
        {"ground bounce", {3.5, 5.5, .3, 0, 0, -.2}, {3.5, 5.5, R, 0, 0, .1}},
        {"cube top bounce", {3.5, 5.5, 1.2, 0, 0, -.2}, {3.5, 5.5, 1.375, 0, 0, .1}, 305, CELL_SOLID},
        {"resting on a cube top", {3.5, 5.5, 1.375, 0, 0, -.2}, {3.5, 5.5, 1.375, 0, 0, .1}, 305, CELL_SOLID},
        {"a ramp has no top", {3.5, 5.5, 1.2}, {3.5, 5.5, 1.2}, 305, CELL_SOLID | RAMP_NORTH},
        {"ramp foot", {4.9, 7.5, .4, .1}, {4.9, 7.5, .43033008575, .1}, 507, RAMP_EAST},
        {"ramp foot out of reach", {4.84, 7.5, .4, .1}, {4.84, 7.5, .4, .1}, 507, RAMP_EAST},
        {"north ramp foot", {5.5, 7.9, R}, {5.5, 7.9, lift - .1 + R}, 508, RAMP_NORTH},
        {"on an east ramp", {5.25, 7.5, .5, 0, 0, -.3}, {5.25, 7.5, .78033008575, 0, 0, -.3}, 507, RAMP_EAST},
        {"on a west ramp", {5.25, 7.5, .5}, {5.25, 7.5, .75 + lift + R}, 507, RAMP_WEST},
        {"layer 2 skips the maze", {3.5, 5.5, 1.7}, {3.5, 5.5, 1.7}, 10305, RAMP_EAST},
        {"in a closed cube: put back", {4.5, 5.5, .5, .1, .2, .3}, {3, 5, 0, -.1, -.2, -.3}, 405, CELL_SOLID},
        {"in a closed cube in layer 1", {4.5, 5.5, 1.5, .1, .2, .3}, {3, 5, 0, -.1, -.2, -.3}, 10405, CELL_SOLID},
        {"a ramp's cube is open", {4.5, 5.5, .8}, {4.5, 5.5, 1.03033008575}, 405, CELL_SOLID | RAMP_EAST},
        // Column 64 of row 0, read unchecked, would be row 1, column 0.
        {"beyond the border: empty", {.1, 63.9, R, 0, .1}, {.1, 63.9, R, 0, .1}, 100, CELL_SOUTH},
    };
    // A pass after one that recorded the cell (3, 5, 0).
    run_ball_cases([] { first_collision_pass = 0, last_cell_row = 3, last_cell_col = 5, resolve_collisions(); }, cases);
    reset_sim();  // the first pass ever skips the put-back; a later one puts the ball back, recording the cube's cell
    cells[0][4][5] = CELL_SOLID;
    place(0, ENTITY_BALL, 4.5, 5.5, 0.5), resolve_collisions();
    last_cell_row = 3, resolve_collisions();
    EXPECT_EQ(std::tuple(entities[0].x, entities[0].y, last_cell_row, last_cell_col), std::tuple(3.0, 5.0, 4, 5));
    // In layer 1 the ball goes back to the layer it was last in, and the cube's layer is recorded.
    reset_sim();
    cells[1][4][5] = CELL_SOLID;
    place(0, ENTITY_BALL, 3.5, 5.5, 1.5), resolve_collisions();
    entities[0].x = 4.5, resolve_collisions();
    EXPECT_EQ(std::tuple(entities[0].x, entities[0].z, last_cell_row, last_cell_layer), std::tuple(3.0, 1.0, 4, 1));
}

TEST(Sim, ResolveCollisionsOutcomeTable)
{
    // The ball starts with (vx, vy) = (0.2, 0.1) and slot 1 is named the block, whatever it holds, also when it
    // is stale: beyond the entity count, left by an earlier level. (3, 5) is a goal square and (3, 6) almost one.
    // Wanted: ball x y vx vy, other y z vz.
    struct Case { const char* name; int32_t type; double other[3], ball[3], want[7]; int32_t done, failed, stale; };
    const int32_t B = ENTITY_BLOCK, W = ENTITY_WANDERER;
    const Case cases[] = {
        {"goal at any height", 0, {9, 9, R}, {3.5, 5.5, 40}, {3.5, 5.5, .2, .1, 9, R}, 1, 0},
        {"almost a goal", 0, {9, 9, R}, {3.5, 6.5, R}, {3.5, 6.5, .2, .1, 9, R}},
        {"wanderer within reach", W, {8.4, 5.5, R}, {7.5, 5.5, R}, {7.5, 5.5, .2, .1, 5.5, R}, 1, 1},
        // (0.905296290583227, 0.0078125, 0) apart: squared, exactly the reach.
        {"wanderer exactly at the reach", W, {8.405296290583227, 5.5078125, R}, {7.5, 5.5, R},
         {7.5, 5.5, .2, .1, 5.5078125, R}},
        {"wanderer out of reach by height", W, {8.4, 5.5, R + .1}, {7.5, 5.5, R}, {7.5, 5.5, .2, .1, 5.5, R + .1}},
        {"a ball is no block", 0, {10, 25, 1.8}, {10.5, 12.5, R}, {10.5, 12.5, .2, .1, 25, 1.8}},
        {"a stale block index", B, {10, 25, 1.8}, {10.5, 12.5, R}, {10.5, 12.5, .2, .1, 25, 1.8}, 0, 0, 1},
        {"block at its goal", B, {10, 20.5, 1.8}, {7.5, 5.5, R}, {7.5, 5.5, .2, .1, 20.5, 1.8}, 1},
        {"under the block at 2.25", B, {10, 12, 2.25}, {10.5, 12.5, R}, {10.5, 12.5, .2, .1, 12, 2.25}, 1, 1},
        {"under it at 2.3", B, {10, 12, 2.3}, {10.5, 12.5, R}, {10.5, 12.5, .2, .1, 12, 2.3}},
        {"pushing its -y side", B, {10, 12, 1.8}, {10.5, 10.3, R}, {10.5, 10.125, .2, -.05, 12.25, 1.8}},
        {"pushing its +y side", B, {10, 12, 1.8}, {10.5, 13.7, R}, {10.5, 10.125, .2, -.05, 12.25, 1.8}},
        {"pushing its +x side", B, {10, 12, 1.8}, {11.7, 12.5, R}, {11.875, 12.5, -.2, .1, 12, 1.8}},
        {"touching its +x side", B, {10, 12, 1.8}, {11.875, 12.5, R}, {11.875, 12.5, .2, .1, 12, 1.8}},
        {"pushing its -x side", B, {10, 12, 1.8}, {8.3, 12.5, R}, {8.125, 12.5, -.2, .1, 12, 1.8}},
        {"no contact above 2.25", B, {10, 12, 2.3}, {10.5, 10.3, R}, {10.5, 10.3, .2, .1, 12, 2.3}},
        {"a landing block bounces", B, {10, 12, .5}, {3.5, 3.5, R}, {3.5, 3.5, .2, .1, 12, 1.5, .5}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        reset_sim();
        cell_colors[3][5][2] = cell_colors[3][6][2] = 255, cell_colors[3][6][1] = 1;
        Entity& b = place(0, ENTITY_BALL, t.ball[0], t.ball[1], t.ball[2], .2, .1);
        Entity& o = place(block_index = 1, t.type, t.other[0], t.other[1], t.other[2]);
        entity_count -= t.stale;
        resolve_collisions();
        const double got[7] = {b.x, b.y, b.vx, b.vy, o.y, o.z, o.vz};
        for (int i = 0; i < 7; i++) EXPECT_DOUBLE_EQ(got[i], t.want[i]) << "x y vx vy, y z vz " << i;
        EXPECT_EQ(std::pair(level_done, level_failed), std::pair(t.done, t.failed));
        EXPECT_EQ(first_collision_pass, t.done);  // an ended pass records nothing
    }
}
