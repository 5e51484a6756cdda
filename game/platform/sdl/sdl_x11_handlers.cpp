// Xlib's error handlers set through SDL's loader, for the game window and the viewer.
#include "platform/sdl/sdl_x11_handlers.h"

#include <SDL_loadso.h>

bool x11_set_handlers(SDL_Window* window, XErrorHandlerFunction on_error, XIOErrorHandlerFunction on_lost,
                      XIOErrorExitHandlerFunction on_lost_exit, XErrorHandlerFunction* previous)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    void* xlib = SDL_LoadObject("libX11.so.6");
    if (!xlib) return false;
    auto set_error_handler =
        reinterpret_cast<XErrorHandlerFunction (*)(XErrorHandlerFunction)>(SDL_LoadFunction(xlib, "XSetErrorHandler"));
    auto set_io_error_handler = reinterpret_cast<XIOErrorHandlerFunction (*)(XIOErrorHandlerFunction)>(
        SDL_LoadFunction(xlib, "XSetIOErrorHandler"));
    auto set_io_exit_handler = reinterpret_cast<void (*)(Display*, XIOErrorExitHandlerFunction, void*)>(
        SDL_LoadFunction(xlib, "XSetIOErrorExitHandler"));
    if (set_error_handler) *previous = set_error_handler(on_error);
    // Older Xlib (before 1.7) cannot go on after a lost connection: it still exits there.
    if (set_io_error_handler && set_io_exit_handler) {
        set_io_error_handler(on_lost);
        set_io_exit_handler(info.info.x11.display, on_lost_exit, nullptr);
    }
    return true;
}
