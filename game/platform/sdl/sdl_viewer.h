// A window that shows frames as they are presented elsewhere (mazereplay --window),
// paced by the frames' own tick values. It never feeds anything back into the game.
#pragma once

#include <cstdint>

// Opens the window; false (with a message on stderr) when there is no display.
bool viewer_open(const char* title);
// Shows one frame; waits until the real time since the first frame catches up with the
// frame's tick, so a replay plays at its recorded speed.
void viewer_show(const uint8_t* frame, const uint8_t palette[256][3], uint32_t tick);
// Keeps the last frame up for a moment (or until the window is closed), then closes.
void viewer_close();
