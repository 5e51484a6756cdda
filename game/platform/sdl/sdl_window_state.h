// What the player left the SDL window as, for the settings saved when the game ends.
#pragma once

// True once the game's window has gone, with `windowed` set to whether it was a window
// (Alt+Enter switches) rather than full screen at that moment.
bool sdl_window_was_windowed(bool* windowed);
