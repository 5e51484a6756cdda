#include "sim/wanderers.h"

#include <climits>

#include "sim/grid_access.h"
#include "sim/random.h"
#include "world/rules.h"

int32_t wander_countdown = 60;

namespace {

constexpr int32_t drive_period = 60;      // frames between new drives
constexpr double random_top = 32767.0;    // the generator's largest value
constexpr double wall_margin = BALL_RADIUS;
constexpr double wall_drive_factor = -3.0;
constexpr double wall_rebound = 1.0;
constexpr double speed_cap = 2.0;
constexpr double play_low = 1.5, play_high = 18.5;
constexpr double reentry_low = 2.0, reentry_high = 17.5;

// -1.0 .. 1.0
double random_drive()
{
    return static_cast<double>(next_random()) * 2 / random_top - 1;
}

// -0.05 .. 0.05
double random_jitter()
{
    return static_cast<double>(next_random()) * 0.1 / random_top - 0.05;
}

void wander(Entity& e, CalendarSeconds calendar_seconds)
{
    if (wander_countdown <= 0) {
        // Re-seeded from the clock each time, so drives drawn in the same second match.
        seed_random(static_cast<uint32_t>(calendar_seconds()));
        e.drive_fwd = random_drive();
        e.drive_side = random_drive();
        wander_countdown = drive_period;
    }

    // One cell for all four tests, even after a test has moved the wanderer.
    int64_t ix = cell_index(e.x);
    int64_t iy = cell_index(e.y);
    int64_t iz = cell_index(e.z);
    double row = static_cast<double>(ix), col = static_cast<double>(iy);

    // Moving toward a face of a neighbour brakes the wanderer anywhere in its cell;
    // inside the margin it is also put back and sent away from the face.
    if (e.vx <= 0 && (cell_near(iz, ix - 1, iy) & CELL_EAST)) {
        e.drive_fwd = wall_drive_factor * e.vx;
        if (e.x < row + wall_margin) {
            e.x = row + wall_margin;
            e.vx = wall_rebound;
        }
    }
    if (e.vx >= 0 && (cell_near(iz, ix + 1, iy) & CELL_WEST)) {
        e.drive_fwd = wall_drive_factor * e.vx;
        if (e.x > row + 1 - wall_margin) {
            e.x = row + 1 - wall_margin;
            e.vx = -wall_rebound;
        }
    }
    if (e.vy <= 0 && (cell_near(iz, ix, iy - 1) & CELL_NORTH)) {
        e.drive_side = wall_drive_factor * e.vy;
        if (e.y < col + wall_margin) {
            e.y = col + wall_margin;
            e.vy = wall_rebound;
        }
    }
    if (e.vy >= 0 && (cell_near(iz, ix, iy + 1) & CELL_SOUTH)) {
        e.drive_side = wall_drive_factor * e.vy;
        if (e.y > col + 1 - wall_margin) {
            e.y = col + 1 - wall_margin;
            e.vy = -wall_rebound;
        }
    }

    // Only the positive side is capped; the motion step limits the rest.
    if (e.vx > speed_cap) e.vx = speed_cap;
    if (e.vy > speed_cap) e.vy = speed_cap;

    e.x += random_jitter();
    e.y += random_jitter();

    if (e.x > play_high) {
        e.vx = -wall_rebound;
        e.drive_fwd = -wall_rebound;
        e.x = reentry_high;
    }
    if (e.y > play_high) {
        e.vy = -wall_rebound;
        e.drive_side = -wall_rebound;
        e.y = reentry_high;
    }
    if (e.x < play_low) {
        e.vx = wall_rebound;
        e.drive_fwd = wall_rebound;
        e.x = reentry_low;
    }
    if (e.y < play_low) {
        e.vy = wall_rebound;
        e.drive_side = wall_rebound;
        e.y = reentry_low;
    }
}

}  // namespace

void update_wanderers(CalendarSeconds calendar_seconds)
{
    // Shared by all wanderers and never reset; it stops at the bottom of its range so
    // that a long run without wanderers cannot overflow it (any value <= 0 means "due").
    if (wander_countdown > INT32_MIN) wander_countdown--;
    int32_t count = entity_count < ENTITY_SLOTS ? entity_count : ENTITY_SLOTS;
    for (int32_t i = 0; i < count; i++) {
        if (entities[i].type == ENTITY_WANDERER) wander(entities[i], calendar_seconds);
    }
}
