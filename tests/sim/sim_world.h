// Fresh simulation state, one frame in the game's order with the rules that hold for any state, and worlds
// built from any stream of numbers; shared by the tests and the fuzzer.
#pragma once

#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/random.h"
#include "sim/steering.h"
#include "sim/wanderers.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // tables leave trailing zeros out

// The calendar the wanderers are handed: seconds since 1000000000 counted from a tick,
// as a scripted run gives them.
inline uint32_t calendar_tick;
inline int64_t test_calendar() { return 1000000000LL + calendar_tick / 1000; }

// Empty grid, the ball alone in slot 0, the camera at its level-start values.
inline void reset_sim()
{
    calendar_tick = 0;
    build_trig_tables();
    seed_random(1);
    std::memset(cells, 0, sizeof cells);
    std::memset(cell_colors, 0, sizeof cell_colors);
    std::memset(entities, 0, sizeof entities);
    entity_count = 1, player_index = 0, block_index = -1, wander_countdown = 60, first_collision_pass = 1;
    camera_focus_x = camera_focus_y = 5, camera_distance = 7, camera_pitch = 0.1, camera_yaw = 0;
    motion_tick = force_tick = 0, level_done = level_failed = 0, last_cell_row = last_cell_col = last_cell_layer = 0;
}

// An entity with only these fields set, counted in entity_count.
inline Entity& place(int slot, int32_t type, double x, double y, double z, double vx = 0, double vy = 0, double vz = 0)
{
    if (slot >= entity_count) entity_count = slot + 1;
    return entities[slot] = Entity{type, x, y, z, vx, vy, vz};
}

// One frame: wanderers, steering, motion, player, heading alignment, camera, and the outcome cleared. False
// when a rule that holds whatever the state was broken.
inline bool sim_frame(uint32_t tick, int32_t dx, int32_t dy, bool left, bool right)
{
    auto finite = [](double a, double b, double c) { return std::isfinite(a) && std::isfinite(b) && std::isfinite(c); };
    auto speed = [](const Entity& e) { return std::fabs(e.vx) + std::fabs(e.vy); };
    bool ok = true, limited[ENTITY_SLOTS];
    calendar_tick = tick;
    update_wanderers(test_calendar);
    for (int i = 0; i < ENTITY_SLOTS; i++) {
        const Entity& w = entities[i];
        // A wanderer with a number for x is back in the play square, and no faster than 2 toward +x.
        if (i < entity_count && w.type == ENTITY_WANDERER && (w.x < 1.5 || w.x > 18.5 || w.vx > 2)) ok = false;
        // Limited by the motion step unless it is the first (which moves nothing) or the speed is so high that
        // the limit's factor, rounded to single precision, is no longer a normal float exact to 1e-7.
        limited[i] = motion_tick != 0 && speed(w) < 1e30;
    }
    steer_player(dx, dy, left, right);
    integrate_motion(tick);
    for (int i = 0; i < ENTITY_SLOTS; i++) ok = ok && !(limited[i] && speed(entities[i]) > 0.5 * (1 + 1e-7));
    Entity& b = entities[player_index];
    bool was_finite = finite(b.x, b.y, b.z);
    update_player(tick);
    // No rule makes a finite ball non-finite (the corner push-out divides by distances), or drops it below ground.
    ok = ok && (!was_finite || finite(b.x, b.y, b.z)) && (level_done != 0 || !(b.z <= -0.5));
    ok = ok && level_done >= 0 && level_done <= 1 && (level_failed == 0 || level_done == 1);
    level_done = level_failed = 0;  // as the game loop does between levels
    b.orient_a = b.orient_b = 0, b.heading = camera_yaw;
    follow_camera();
    return ok && camera_distance >= 2.5 && std::fabs(camera_yaw) < 6.283185307 &&
           std::fabs(camera_pitch) < 6.283185307 && finite(camera_focus_x, camera_focus_y, 0);
}

// Below, next() gives any 32-bit numbers: a random generator's or the fuzzer's bytes.
template <class F> double any_coordinate(F& next)
{
    const double odd[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 2147483647.5, -2147483648.5};
    switch (next() % 5) {
    case 0: return odd[next() % 7];
    case 1: return std::bit_cast<double>(static_cast<uint64_t>(next()) << 32 | next());  // any bit pattern
    default: return next() % 2 ? static_cast<double>(next() % 66) - 1 : next() % 66000 / 1000.0 - 1;  // in the grid
    }
}

// A dense random grid, a few chosen cell words and goal squares, entities of any type
// anywhere (near the layers' floors more often), any block index, countdown and ticks.
template <class F> void random_world(F& next)
{
    reset_sim();
    std::minstd_rand grid(next());
    for (uint16_t* word = &cells[0][0][0]; word < &cells[0][0][0] + 8192; word++)
        *word = grid() % 3 ? 0 : static_cast<uint16_t>(grid());
    for (uint32_t n = next() % 16; n > 0; n--) (&cells[0][0][0])[next() % 8192] = next();
    for (uint32_t n = next() % 64; n > 0; n--) cell_colors[next() % 64][next() % 64][2] = 255;
    for (int i = 0; i < ENTITY_SLOTS; i++) {
        const int32_t types[] = {ENTITY_BALL, ENTITY_WANDERER, ENTITY_WANDERER, ENTITY_BLOCK, 7};
        Entity& e = place(i, i ? types[next() % 5] : ENTITY_BALL, 0, 0, 0);
        e.x = any_coordinate(next), e.y = any_coordinate(next);
        e.z = next() % 2 ? 0.375 + next() % 3 : next() % 2 ? next() % 500 / 100.0 - 1 : any_coordinate(next);
        for (double* v : {&e.vx, &e.vy, &e.vz, &e.heading})  // -3 .. 3, or any
            *v = next() % 10 ? next() % 601 / 100.0 - 3 : any_coordinate(next);
    }
    entity_count = next() % 8 ? next() % 33 : 40;  // 40: more than the table holds
    block_index = static_cast<int32_t>(next() % 48) - 8;  // none, a slot, or beyond the table
    wander_countdown = next() % 10 ? next() % 70 : INT32_MIN + static_cast<int32_t>(next() % 3);
    motion_tick = next(), force_tick = next();
}

// A frame with any clock step and mouse, now and then an unreadable mouse.
template <class F> bool random_frame(F& next, uint32_t& tick)
{
    auto motion = [&] { return next() % 10 ? static_cast<int32_t>(next() % 401) - 200 : static_cast<int32_t>(next()); };
    tick += next() % 20 ? next() % 300 : next();
    bool unreadable = next() % 20 == 0;  // the frame loop hands in a still mouse then
    int32_t dx = motion(), dy = motion();
    bool left = next() % 4 == 0, right = next() % 4 == 0;
    if (unreadable) dx = dy = 0, left = right = false;
    return sim_frame(tick, dx, dy, left, right);
}
