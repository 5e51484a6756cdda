// The game's state as at program start, for tests that run game_main more than once in
// one process: the scripted platform, the display, the world and the switches.
#pragma once

#include <cstring>

#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/input.h"
#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/wanderers.h"
#include "world/world.h"

inline void fresh_game_state()
{
    script_reset();
    shutdown_display();
    std::memset(entities, 0, sizeof entities);
    std::memset(key_state, 0, sizeof key_state);
    debug_flags = function_key_latch = 0;
    level_done = level_failed = 0;
    motion_tick = force_tick = 0;
    wander_countdown = 60;
    first_collision_pass = 1;
}
