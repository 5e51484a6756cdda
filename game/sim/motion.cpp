#include "sim/motion.h"

#include <cmath>

#include "sim/collisions.h"
#include "sim/grid_access.h"
#include "world/rules.h"
#include "world/trig.h"

uint32_t motion_tick;
uint32_t force_tick;

namespace {

constexpr double tick_divisor = 100.0;   // milliseconds per time unit
constexpr double drive_divisor = 10.0;   // drive to velocity change per call
constexpr double speed_limit = 0.5;      // on |vx| + |vy|
constexpr double pull_per_unit = 0.08;   // gravity and ramp pull
constexpr double resting_height = BALL_RADIUS;
constexpr double block_floor = BLOCK_REST_HEIGHT;

// The step and the limit factor go through single precision, and the motion's last
// bits depend on it.
double to_single(double value)
{
    return static_cast<double>(static_cast<float>(value));
}

}  // namespace

void integrate_motion(uint32_t now)
{
    if (motion_tick != 0) {
        double dt = to_single(static_cast<double>(now - motion_tick) / tick_divisor);
        // Every slot moves, used or not: the table is small.
        for (Entity& e : entities) {
            int i = angle_index(e.heading);
            double s = sin_table[i];
            double c = cos_table[i];
            double f = e.drive_fwd / drive_divisor;
            double d = e.drive_side / drive_divisor;
            e.vx = f * c + e.vx + d * s;
            e.vy = d * c + e.vy - f * s;
            e.vz = e.drive_up / drive_divisor + e.vz;
            double speed = std::fabs(e.vx) + std::fabs(e.vy);
            if (speed > speed_limit) {
                double k = to_single(speed_limit / speed);
                e.vx = k * e.vx;
                e.vy = k * e.vy;
            }
            e.x += dt * e.vx;
            e.y += dt * e.vy;
            e.z += dt * e.vz;
        }
    }
    motion_tick = now;
}

void apply_cell_forces(uint32_t now)
{
    double p = 0.0;
    if (force_tick != 0) p = static_cast<double>(now - force_tick) / tick_divisor * pull_per_unit;

    Entity* ball = player_entity();
    if (ball) {
        int64_t r = cell_index(ball->x);
        int64_t c = cell_index(ball->y);
        int64_t l = cell_index(ball->z);
        if (l < 2) {
            // On the upper half of a ramp the ball's centre is in the layer above it,
            // so the cell below counts as well.
            uint16_t here = ramp_near(l, r, c);
            uint16_t below = l > 0 ? ramp_near(l - 1, r, c) : 0;
            // Pulls point down the slope; the first kind that either cell has wins.
            if (here == RAMP_EAST || below == RAMP_EAST) {
                ball->vx -= p;
            } else if (here == RAMP_WEST || below == RAMP_WEST) {
                ball->vx += p;
            } else if (here == RAMP_SOUTH || below == RAMP_SOUTH) {
                ball->vy += p;
            } else if (here == RAMP_NORTH || below == RAMP_NORTH) {
                ball->vy -= p;
            }
        }
        // std::trunc gives the layer's floor exactly for any height, however large.
        if (std::trunc(ball->z) + resting_height < ball->z) ball->vz -= p;
    }

    Entity* block = bouncing_block();
    if (block && block->z > block_floor) block->vz -= p;

    force_tick = now;
}

void update_player(uint32_t now)
{
    apply_cell_forces(now);
    resolve_collisions();
}
