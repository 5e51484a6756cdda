// The SDL platform's mouse and keyboard (and, through sdl_gamepad, the gamepad): read
// from SDL's events so that nothing between two reads is lost, and the pointer grabbed
// only while the game is played.
#pragma once

#include <SDL.h>

#include "platform/platform.h"

// The settings of the command line (mouse speed, pace, gamepad).
void sdl_input_configure(const PlatformSettings* settings);
// An event from SDL's queue: keys, mouse buttons, focus changes, gamepads.
void sdl_input_event(const SDL_Event& event);
// The game window exists and is in the foreground.
void sdl_input_window_created();
// While true, the pointer is the desktop's (a message box is up, the window is going):
// not grabbed, the cursor shown. False hands it back to the game at its next read.
void sdl_input_free_pointer(bool free);
