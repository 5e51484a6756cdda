// Xlib's error handlers, set through SDL's own loader of Xlib (the game links no X
// library): shared by the game's window watch and the replay viewer.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

using XErrorHandlerFunction = int (*)(Display*, XErrorEvent*);
using XIOErrorHandlerFunction = int (*)(Display*);
using XIOErrorExitHandlerFunction = void (*)(Display*, void*);

// On an X11 window: sets `on_error` (the handler it replaces into *previous), and where
// Xlib can go on after a lost connection (1.7 on), `on_lost` with `on_lost_exit` in place
// of its exit. False where the window is no X11 one or Xlib cannot be had.
bool x11_set_handlers(SDL_Window* window, XErrorHandlerFunction on_error, XIOErrorHandlerFunction on_lost,
                      XIOErrorExitHandlerFunction on_lost_exit, XErrorHandlerFunction* previous);
