// Thousands of random frames on random grids, with the ball and the wanderers started
// anywhere: inside, on the border, outside the grid, huge and non-finite. Run under the
// sanitizers this shows that no position reads or writes outside the tables; the checks
// below hold for any frame.
#include <cmath>
#include <limits>
#include <random>

#include "sim/steering.h"
#include "sim_fixture.h"

namespace {

std::mt19937 rng(20261206);

int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

double uniform(double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

double any_coordinate()
{
    const double inf = std::numeric_limits<double>::infinity();
    switch (pick(12)) {
    case 0: return uniform(-1.0, 1.0);    // low border
    case 1: return uniform(63.0, 65.0);   // high border
    case 2: return uniform(-1e4, 1e4);
    case 3: return pick(2) ? 1e300 : -1e300;
    case 4: return pick(2) ? 2147483647.5 : -2147483648.5;
    case 5: return pick(3) == 0 ? std::nan("") : (pick(2) ? inf : -inf);
    case 6: return static_cast<double>(pick(66) - 1);  // exactly on a cell border
    default: return uniform(0.0, 64.0);
    }
}

double any_height()
{
    switch (pick(6)) {
    case 0: return any_coordinate();
    case 1: return uniform(-1.0, 4.0);
    default: return 0.375 + pick(3);
    }
}

uint16_t any_cell_word()
{
    const uint16_t shapes[] = {0,         CELL_SOLID, CELL_EAST,  CELL_WEST,  CELL_NORTH,
                               CELL_SOUTH, RAMP_EAST, RAMP_WEST,  RAMP_NORTH, RAMP_SOUTH,
                               CELL_SOLID | RAMP_WEST, CELL_TOP};
    if (pick(4) == 0) return static_cast<uint16_t>(rng());
    return pick(2) ? shapes[pick(12)] : 0;
}

void random_world()
{
    for (auto& layer : cells)
        for (auto& row : layer)
            for (uint16_t& word : row) word = any_cell_word();
    for (auto& row : cell_colors)
        for (auto& color : row) {
            bool goal = pick(400) == 0;
            color[0] = goal ? 0 : static_cast<uint8_t>(rng());
            color[1] = goal ? 0 : static_cast<uint8_t>(rng());
            color[2] = goal ? 255 : static_cast<uint8_t>(rng());
        }
    entity_count = pick(8) == 0 ? 40 : pick(33);  // 40: more than the table holds
    for (int i = 0; i < ENTITY_SLOTS; i++) {
        Entity& e = entities[i];
        const int32_t types[] = {ENTITY_BALL, ENTITY_WANDERER, ENTITY_WANDERER, ENTITY_BLOCK, 7};
        e = Entity{};
        e.type = i == 0 ? ENTITY_BALL : types[pick(5)];
        e.x = any_coordinate();
        e.y = any_coordinate();
        e.z = any_height();
        e.vx = pick(10) ? uniform(-3, 3) : any_coordinate();
        e.vy = pick(10) ? uniform(-3, 3) : any_coordinate();
        e.vz = pick(10) ? uniform(-1, 1) : any_coordinate();
        e.heading = pick(10) ? uniform(-10, 10) : any_coordinate();
    }
    block_index = pick(3) == 0 ? -1 : pick(ENTITY_SLOTS);
    wander_countdown = pick(10) == 0 ? INT32_MIN + pick(3) : pick(70);
    first_collision_pass = pick(2);
    last_cell_row = pick(2) ? pick(64) : INT32_MAX;
    last_cell_col = pick(2) ? pick(64) : INT32_MIN;
    last_cell_layer = pick(3);
    motion_tick = static_cast<uint32_t>(rng());
    force_tick = static_cast<uint32_t>(rng());
}

bool finite3(const Entity& e)
{
    return std::isfinite(e.x) && std::isfinite(e.y) && std::isfinite(e.z);
}

}  // namespace

TEST_F(SimTest, RandomFramesStayInBounds)
{
    uint32_t tick = static_cast<uint32_t>(rng());
    for (int world = 0; world < 150; world++) {
        SetUp();
        random_world();
        int32_t count = entity_count < ENTITY_SLOTS ? entity_count : ENTITY_SLOTS;
        for (int frame = 0; frame < 40; frame++) {
            tick += pick(20) == 0 ? static_cast<uint32_t>(rng()) : static_cast<uint32_t>(pick(300));
            script_override_ticks(tick);
            int32_t dx = pick(10) == 0 ? static_cast<int32_t>(rng()) : pick(401) - 200;
            int32_t dy = pick(10) == 0 ? static_cast<int32_t>(rng()) : pick(401) - 200;
            script_override_mouse(dx, dy, pick(4) == 0, pick(4) == 0);
            if (pick(20) == 0) script_fail(SCRIPT_OP_READ_MOUSE, 1);

            update_wanderers();
            for (int i = 0; i < count; i++) {
                const Entity& w = entities[i];
                if (w.type != ENTITY_WANDERER) continue;
                // Whatever came in, a wanderer with a number for x leaves inside the square.
                EXPECT_TRUE(std::isnan(w.x) || (w.x >= 1.5 && w.x <= 18.5)) << w.x;
                EXPECT_FALSE(w.vx > 2.0) << w.vx;
            }
            steer_player();
            integrate_motion();
            for (const Entity& e : entities) {
                double speed = std::fabs(e.vx) + std::fabs(e.vy);
                EXPECT_FALSE(std::isfinite(speed) && speed > 0.5 * (1 + 1e-7)) << speed;
            }
            bool was_finite = finite3(ball());
            update_player();
            // No rule turns a finite ball into a non-finite one (the corner push-out
            // divides by the distances to the corner).
            EXPECT_TRUE(!was_finite || finite3(ball())) << ball().x << " " << ball().y;
            EXPECT_FALSE(level_done == 0 && ball().z <= -0.5) << ball().z;
            EXPECT_TRUE(level_done == 0 || level_done == 1);
            EXPECT_TRUE(level_failed == 0 || level_done == 1);
            Entity& b = entities[player_index];
            b.orient_a = b.orient_b = 0;
            b.heading = camera_yaw;
            follow_camera();

            EXPECT_GE(camera_distance, 2.5);
            EXPECT_LT(std::fabs(camera_yaw), 6.283185307);
            EXPECT_LT(std::fabs(camera_pitch), 6.283185307);
            EXPECT_TRUE(std::isfinite(camera_focus_x) && std::isfinite(camera_focus_y));
            if (level_done) {
                level_failed = 0;  // as the game loop does between levels
                level_done = 0;
            }
            if (HasFailure()) return;
        }
    }
}
