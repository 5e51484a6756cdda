// Watches the game window for being taken away from outside under X (destroyed, or its
// connection cut), which SDL does not report as a close.
#pragma once

#include <SDL.h>

// Learns the window's X identity (it changes when SDL switches renderers) and, once,
// installs handlers that keep Xlib from ending the process over the lost window.
void x11_watch_window(SDL_Window* window);
// A raw window-system event, where the destroy of the watched window shows.
void x11_note_raw_event(const SDL_SysWMmsg* message);
// The window was destroyed from outside, or the connection to the X server lost.
bool x11_window_taken_away();
// The connection to the X server is lost: nothing of the display may be released.
bool x11_connection_lost();
