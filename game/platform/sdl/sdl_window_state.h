// What the player left the SDL window as, for the settings saved when the game ends.
#pragma once

// True once the game's window has gone, with `windowed` set to whether it was a window
// (Alt+Enter switches) rather than full screen at that moment.
bool sdl_window_was_windowed(bool* windowed);

// What the program calls to keep the settings the player changed. The browser's platform
// calls it when the page is hidden, for a closed tab never reaches the game's end; the
// SDL platform has no such moment (a closed window ends the game as Escape does).
void platform_keep_settings_with(void (*keep)());
