// Gamepads through SDL's game controller API, arriving as the same reads the mouse and
// keyboard give: the sticks and triggers as mouse motion with or without a button, the
// buttons as keys. Plugged in and out at any time.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/sdl/input_carry.h"

// Opens the game controller subsystem with SDL's mappings and the optional
// gamecontrollerdb.txt in the settings folder; false when there is none (no gamepad).
bool sdl_gamepad_start(const GamepadFeel* feel);
// A device added or removed, a button pressed or released.
void sdl_gamepad_event(const SDL_Event& event);
// The keys the gamepad's buttons hold this read, taps kept (state bit 0x80 or'd in).
void sdl_gamepad_read_keys(uint8_t state[256], bool paused);
// What the sticks and triggers say this read, as mouse motion.
PadMotion sdl_gamepad_read_motion();
// Forgets pending presses (the focus went away).
void sdl_gamepad_reset();
// For tests: MAZE_TEST_GAMEPAD names a file of states for a virtual gamepad, applied at
// the keyboard read they name (see docs/input.md). Called at each keyboard read.
void sdl_gamepad_test_step();
