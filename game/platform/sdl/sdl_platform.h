// What the SDL platform's window and clock (sdl_platform.cpp) offer its input files.
#pragma once

#include <SDL.h>

#include <cstdint>

// Handles SDL's event queue: window events here, input events through sdl_input_event.
void sdl_pump_events();
// The window was closed (or taken away): Escape reads as held from now on.
bool sdl_quit_requested();
// The game window, or null.
SDL_Window* sdl_window();
// A keyboard read starts a frame: the tick every read of the frame then returns.
uint32_t sdl_begin_frame();
