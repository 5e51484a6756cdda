// A fresh world and simulation state for each test: empty grid, the ball alone in
// slot 0, the camera at its level-start values, the scripted platform reset.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "platform/script/script_platform.h"
#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/random.h"
#include "sim/wanderers.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        script_reset();
        build_trig_tables();
        std::memset(cells, 0, sizeof cells);
        std::memset(cell_colors, 0, sizeof cell_colors);
        std::memset(entities, 0, sizeof entities);
        entity_count = 1;
        player_index = 0;
        block_index = -1;
        camera_focus_x = 5.0;
        camera_focus_y = 5.0;
        camera_distance = 7.0;
        camera_pitch = 0.1;
        camera_yaw = 0.0;
        motion_tick = 0;
        force_tick = 0;
        level_done = 0;
        level_failed = 0;
        last_cell_row = last_cell_col = last_cell_layer = 0;
        first_collision_pass = 1;
        wander_countdown = 60;
        seed_random(1);
    }

    static Entity& ball() { return entities[0]; }

    static void place(Entity& e, int32_t type, double x, double y, double z, double vx = 0,
                      double vy = 0, double vz = 0)
    {
        e = Entity{};
        e.type = type;
        e.x = x, e.y = y, e.z = z;
        e.vx = vx, e.vy = vy, e.vz = vz;
    }
};
