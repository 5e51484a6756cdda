#include <cmath>

#include "sim_fixture.h"

namespace {

struct CellWord {
    int l, r, c;
    uint16_t word;
};

struct Body {
    double x, y, z, vx, vy, vz;
};

struct CollisionCase {
    const char* name;
    CellWord cells[2];  // a word of 0 sets nothing
    Body before, after;
};

constexpr double diag = 0.26516504294495535;  // corner push-out along a diagonal: 3.1 -> 3.2652
constexpr double lift = 0.15533008575;

const CollisionCase collision_cases[] = {
    {"west face", {{0, 2, 5, CELL_EAST}}, {3.3, 5.5, 0.375, -0.2, 0.1, 0},
     {3.375, 5.5, 0.375, 0.2, 0.1, 0}},
    {"west face at exactly the radius", {{0, 2, 5, CELL_EAST}}, {3.375, 5.5, 0.375, -0.2, 0, 0},
     {3.375, 5.5, 0.375, 0.2, 0, 0}},
    {"west face out of reach", {{0, 2, 5, CELL_EAST}}, {3.38, 5.5, 0.375, -0.2, 0, 0},
     {3.38, 5.5, 0.375, -0.2, 0, 0}},
    {"west face of a west ramp is open", {{0, 2, 5, CELL_EAST | RAMP_WEST}},
     {3.3, 5.5, 0.375, -0.2, 0, 0}, {3.3, 5.5, 0.375, -0.2, 0, 0}},
    {"east face", {{0, 4, 5, CELL_WEST}}, {3.7, 5.5, 0.375, 0.2, 0, 0},
     {3.625, 5.5, 0.375, -0.2, 0, 0}},
    {"east face of an east ramp is open", {{0, 4, 5, CELL_WEST | RAMP_EAST}},
     {3.7, 5.5, 0.375, 0.2, 0, 0}, {3.7, 5.5, 0.375, 0.2, 0, 0}},
    {"south face", {{0, 3, 4, CELL_NORTH}}, {3.5, 5.2, 0.375, 0, -0.1, 0},
     {3.5, 5.375, 0.375, 0, 0.1, 0}},
    {"north face", {{0, 3, 6, CELL_SOUTH}}, {3.5, 5.8, 0.375, 0, 0.1, 0},
     {3.5, 5.625, 0.375, 0, -0.1, 0}},
    {"corner of the south-west neighbour", {{0, 2, 4, CELL_NORTH}},
     {3.1, 5.1, 0.375, 0.2, -0.1, 0}, {3 + diag, 5 + diag, 0.375, 0.1, -0.2, 0}},
    {"corner of the south-east neighbour", {{0, 4, 4, CELL_WEST}},
     {3.9, 5.1, 0.375, 0.2, -0.1, 0}, {4 - diag, 5 + diag, 0.375, -0.1, 0.2, 0}},
    {"corner of the north-east neighbour", {{0, 4, 6, CELL_SOUTH}},
     {3.9, 5.9, 0.375, 0.2, -0.1, 0}, {4 - diag, 6 - diag, 0.375, 0.1, -0.2, 0}},
    {"corner of the north-west neighbour", {{0, 2, 6, CELL_EAST}},
     {3.1, 5.9, 0.375, 0.2, -0.1, 0}, {3 + diag, 6 - diag, 0.375, -0.1, 0.2, 0}},
    {"corner at radius squared is clear", {{0, 2, 4, CELL_NORTH}},
     {3.375, 5.0, 0.375, 0.2, -0.1, 0}, {3.375, 5.0, 0.375, 0.2, -0.1, 0}},
    {"centre on the corner leaves diagonally", {{0, 2, 4, CELL_NORTH}},
     {3.0, 5.0, 0.375, 0.2, -0.1, 0}, {3 + diag, 5 + diag, 0.375, 0.1, -0.2, 0}},
    {"corner straight along y", {{0, 2, 4, CELL_NORTH}}, {3.0, 5.2, 0.375, 0, 0, 0},
     {3.0, 5.375, 0.375, 0, 0, 0}},
    {"ground bounce", {}, {3.5, 5.5, 0.3, 0, 0, -0.2}, {3.5, 5.5, 0.375, 0, 0, 0.1}},
    {"far below the ground", {}, {3.5, 5.5, -40.0, 0, 0, -2}, {3.5, 5.5, 0.375, 0, 0, 1}},
    {"cube top bounce", {{0, 3, 5, CELL_SOLID}}, {3.5, 5.5, 1.2, 0, 0, -0.2},
     {3.5, 5.5, 1.375, 0, 0, 0.1}},
    {"top of a ramp cell is no floor", {{0, 3, 5, CELL_SOLID | RAMP_NORTH}},
     {3.5, 5.5, 1.2, 0, 0, -0.2}, {3.5, 5.5, 1.2, 0, 0, -0.2}},
    {"ramp foot", {{0, 5, 7, RAMP_EAST}}, {4.9, 7.5, 0.4, 0.1, 0, 0},
     {4.9, 7.5, 0.43033008575, 0.1, 0, 0}},
    {"ramp foot out of reach", {{0, 5, 7, RAMP_EAST}}, {4.84, 7.5, 0.4, 0.1, 0, 0},
     {4.84, 7.5, 0.4, 0.1, 0, 0}},
    {"north ramp foot", {{0, 5, 8, RAMP_NORTH}}, {5.5, 7.9, 0.375, 0, 0.1, 0},
     {5.5, 7.9, lift - 0.1 + 0.375, 0, 0.1, 0}},
    {"on an east ramp", {{0, 5, 7, RAMP_EAST}}, {5.25, 7.5, 0.5, 0, 0, -0.3},
     {5.25, 7.5, 0.78033008575, 0, 0, -0.3}},
    {"on a west ramp", {{0, 5, 7, RAMP_WEST}}, {5.25, 7.5, 0.5, 0, 0, 0},
     {5.25, 7.5, 0.75 + lift + 0.375, 0, 0, 0}},
    {"high flight skips the maze", {{1, 2, 5, CELL_EAST}}, {3.3, 5.5, 1.7, -0.2, 0, 0},
     {3.3, 5.5, 1.7, -0.2, 0, 0}},
    // Reading column 64 of row 0 unchecked would alias row 1, column 0.
    {"border cell: outside reads empty", {{0, 1, 0, CELL_SOUTH}},
     {0.1, 63.9, 0.375, -0.1, 0.1, 0}, {0.1, 63.9, 0.375, -0.1, 0.1, 0}},
};

}  // namespace

TEST_F(SimTest, ResolveCollisionsTable)
{
    for (const CollisionCase& t : collision_cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        for (const CellWord& w : t.cells)
            if (w.word) cells[w.l][w.r][w.c] = w.word;
        const Body& b = t.before;
        place(ball(), ENTITY_BALL, b.x, b.y, b.z, b.vx, b.vy, b.vz);
        resolve_collisions();
        const Body& a = t.after;
        EXPECT_NEAR(ball().x, a.x, 1e-12);
        EXPECT_NEAR(ball().y, a.y, 1e-12);
        EXPECT_NEAR(ball().z, a.z, 1e-12);
        EXPECT_NEAR(ball().vx, a.vx, 1e-12);
        EXPECT_NEAR(ball().vy, a.vy, 1e-12);
        EXPECT_NEAR(ball().vz, a.vz, 1e-12);
        EXPECT_EQ(level_done, 0);
    }
}

TEST_F(SimTest, ResolveCollisionsOneFacePerPass)
{
    cells[0][2][5] = CELL_EAST;
    cells[0][3][4] = CELL_NORTH;
    place(ball(), ENTITY_BALL, 3.3, 5.2, 0.375, -0.1, -0.1, 0);
    resolve_collisions();
    EXPECT_DOUBLE_EQ(ball().x, 3.375);
    EXPECT_DOUBLE_EQ(ball().y, 5.2);
    EXPECT_DOUBLE_EQ(ball().vy, -0.1);
    ball().x += 0.05;  // the motion step carries it off the west face (vx is now +0.1)
    resolve_collisions();
    EXPECT_DOUBLE_EQ(ball().y, 5.375);
    EXPECT_DOUBLE_EQ(ball().vy, 0.1);
}

TEST_F(SimTest, ResolveCollisionsOutcomeTable)
{
    struct Case {
        const char* name;
        double ball_x, ball_y, ball_z;
        int32_t other_type;
        double other_x, other_y, other_z;
        bool goal_under_ball;
        int32_t want_done, want_failed;
    };
    const Case cases[] = {
        {"goal square at any height", 3.5, 5.5, 40.0, ENTITY_BALL, 9, 9, 0.375, true, 1, 0},
        {"wanderer within reach", 3.5, 5.5, 0.375, ENTITY_WANDERER, 4.4, 5.5, 0.375, false, 1, 1},
        {"wanderer out of reach", 3.5, 5.5, 0.375, ENTITY_WANDERER, 4.41, 5.5, 0.375, false, 0, 0},
        {"a ball is harmless", 3.5, 5.5, 0.375, ENTITY_BALL, 3.6, 5.5, 0.375, false, 0, 0},
        {"block pushed to its goal", 3.5, 5.5, 0.375, ENTITY_BLOCK, 10, 20.5, 1.8, false, 1, 0},
        {"under the block at 2.25", 10.5, 12.5, 0.375, ENTITY_BLOCK, 10, 12, 2.25, false, 1, 1},
        {"under the block at 2.3", 10.5, 12.5, 0.375, ENTITY_BLOCK, 10, 12, 2.3, false, 0, 0},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        place(ball(), ENTITY_BALL, t.ball_x, t.ball_y, t.ball_z);
        place(entities[1], t.other_type, t.other_x, t.other_y, t.other_z);
        entity_count = 2;
        if (t.other_type == ENTITY_BLOCK) block_index = 1;
        if (t.goal_under_ball) {
            cell_colors[3][5][2] = 255;
            cell_colors[3][6][2] = 255;  // goal colour is exact: (0, 1, 255) is no goal
            cell_colors[3][6][1] = 1;
        }
        resolve_collisions();
        EXPECT_EQ(level_done, t.want_done);
        EXPECT_EQ(level_failed, t.want_failed);
        // An ended pass records nothing.
        EXPECT_EQ(first_collision_pass, t.want_done ? 1 : 0);
    }
    SetUp();
    cell_colors[3][6][2] = 255;
    cell_colors[3][6][1] = 1;
    place(ball(), ENTITY_BALL, 3.5, 6.5, 0.375);
    resolve_collisions();
    EXPECT_EQ(level_done, 0);
}

TEST_F(SimTest, ResolveCollisionsBlockTable)
{
    struct Case {
        const char* name;
        double ball_x, ball_y, block_z;
        double want_x, want_y, want_vx, want_vy, want_block_y, want_block_z;
    };
    const Case cases[] = {
        {"touching the -y side", 10.5, 10.3, 1.8, 10.5, 10.125, 0.2, -0.05, 12.25, 1.8},
        {"touching the +y side ends on -y", 10.5, 13.7, 1.8, 10.5, 10.125, 0.2, -0.05, 12.25,
         1.8},
        {"touching the +x side", 11.7, 12.5, 1.8, 11.875, 12.5, -0.2, 0.1, 12.0, 1.8},
        {"touching the -x side", 8.3, 12.5, 1.8, 8.125, 12.5, -0.2, 0.1, 12.0, 1.8},
        {"above 2.25 the block is not solid", 10.5, 10.3, 2.3, 10.5, 10.3, 0.2, 0.1, 12.0, 2.3},
        {"a landing block bounces", 3.5, 3.5, 0.5, 3.5, 3.5, 0.2, 0.1, 12.0, 1.5},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        place(ball(), ENTITY_BALL, t.ball_x, t.ball_y, 0.375, 0.2, 0.1, 0);
        place(entities[1], ENTITY_BLOCK, 10.0, 12.0, t.block_z);
        entity_count = 2;
        block_index = 1;
        resolve_collisions();
        EXPECT_DOUBLE_EQ(ball().x, t.want_x);
        EXPECT_DOUBLE_EQ(ball().y, t.want_y);
        EXPECT_DOUBLE_EQ(ball().vx, t.want_vx);
        EXPECT_DOUBLE_EQ(ball().vy, t.want_vy);
        EXPECT_DOUBLE_EQ(entities[1].y, t.want_block_y);
        EXPECT_DOUBLE_EQ(entities[1].z, t.want_block_z);
        if (t.block_z <= 1.5) {
            EXPECT_EQ(entities[1].vz, 0.5);
        }
        EXPECT_EQ(level_done, 0);
    }
}

TEST_F(SimTest, ResolveCollisionsStaleBlockIndexIsIgnored)
{
    // A block index left by an earlier level names a slot this level does not use.
    place(ball(), ENTITY_BALL, 3.5, 5.5, 0.375);
    place(entities[5], ENTITY_BLOCK, 3.5, 25.0, 1.8);
    block_index = 5;
    entity_count = 2;
    resolve_collisions();
    EXPECT_EQ(level_done, 0);
    entity_count = 6;
    resolve_collisions();
    EXPECT_EQ(level_done, 1);
}

TEST_F(SimTest, ResolveCollisionsClosedCube)
{
    cells[0][4][5] = CELL_SOLID;
    cells[0][4][6] = CELL_SOLID | RAMP_EAST;
    // The first pass ever skips the rule, even inside a cube, and records the cell.
    place(ball(), ENTITY_BALL, 4.5, 5.5, 0.375, 0.1, 0.2, 0.3);
    resolve_collisions();
    EXPECT_DOUBLE_EQ(ball().x, 4.5);
    EXPECT_EQ(last_cell_row, 4);
    EXPECT_EQ(first_collision_pass, 0);

    place(ball(), ENTITY_BALL, 3.5, 5.5, 0.375, 0.1, 0.2, 0.3);
    resolve_collisions();
    EXPECT_EQ(last_cell_row, 3);
    EXPECT_EQ(last_cell_col, 5);
    EXPECT_EQ(last_cell_layer, 0);
    place(ball(), ENTITY_BALL, 4.5, 5.5, 0.5, 0.1, 0.2, 0.3);
    resolve_collisions();  // inside: back to the corner of the previous cell
    EXPECT_EQ(ball().x, 3.0);
    EXPECT_EQ(ball().y, 5.0);
    EXPECT_EQ(ball().z, 0.0);
    EXPECT_EQ(ball().vx, -0.1);
    EXPECT_EQ(ball().vy, -0.2);
    EXPECT_EQ(ball().vz, -0.3);
    EXPECT_EQ(last_cell_row, 4);  // the cube's own cell is what gets recorded

    place(ball(), ENTITY_BALL, 4.5, 6.5, 0.8);  // a cube with a ramp field is not closed
    resolve_collisions();
    EXPECT_EQ(ball().x, 4.5);
}
