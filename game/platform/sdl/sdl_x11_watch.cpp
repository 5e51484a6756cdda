// The game window taken away from outside, under X: another client can destroy the
// game's window (XDestroyWindow) or cut the game's connection (XKillClient, as
// `xdotool windowkill` does). SDL reports neither as a close: it passes the destroy on
// only as a raw X event, and Xlib's default handlers end the process with status 1 at
// the next drawing into the dead window or at the lost connection. The game instead
// ends as when its window is closed: X errors on its destroyed window are ignored, a
// lost connection no longer exits, and both count as a close request (the farewell
// runs on nothing visible, then exit 0).
#include "platform/sdl/sdl_x11_watch.h"

#include "platform/sdl/sdl_x11_handlers.h"

namespace {

bool window_taken_away;
bool display_connection_lost;

Window watched_x_window;
bool x_handlers_installed;
XErrorHandlerFunction previous_x_error_handler;

int on_x_error(Display* display, XErrorEvent* error)
{
    // Once the window is gone, SDL's own calls about it fail too, some on windows it
    // derived from the dead one: none of that ends the game any more.
    bool about_the_window = window_taken_away || (watched_x_window != 0 && error->resourceid == watched_x_window);
    if (about_the_window && (error->error_code == BadWindow || error->error_code == BadDrawable)) {
        window_taken_away = true;
        return 0;
    }
    // The software renderer's drawing context on that window can fail before the
    // destroy itself has been read (BadGC as SDL frees it): not a reason to end either.
    if (error->error_code == BadGC) return 0;
    return previous_x_error_handler ? previous_x_error_handler(display, error) : 0;
}

// Called by Xlib at a lost connection in place of its handler that reports and exits,
// and then in place of its exit: Xlib fails every further call on that display.
int on_x_connection_lost(Display*)
{
    window_taken_away = true;
    display_connection_lost = true;
    return 0;
}
void on_x_connection_lost_exit(Display*, void*) {}

// Learns the game window's X identity (SDL gives the window a new one when it switches
// renderers) and, once, installs the handlers above through SDL's own loader of Xlib.
}  // namespace

void x11_watch_window(SDL_Window* window)
{
    if (!window || window_taken_away) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    watched_x_window = info.info.x11.window;
    if (x_handlers_installed) return;
    x_handlers_installed = true;
    if (!x11_set_handlers(window, on_x_error, on_x_connection_lost, on_x_connection_lost_exit,
                          &previous_x_error_handler))
        return;
    // The destroy itself comes only as a raw X event.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void x11_note_raw_event(const SDL_SysWMmsg* message)
{
    if (!message || message->subsystem != SDL_SYSWM_X11) return;
    const XEvent& event = message->msg.x11.event;
    if (event.type == DestroyNotify && watched_x_window != 0 && event.xdestroywindow.window == watched_x_window)
        window_taken_away = true;
}

bool x11_window_taken_away() { return window_taken_away; }
bool x11_connection_lost() { return display_connection_lost; }
