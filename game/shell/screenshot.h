// The screenshot key: Print Screen saves the frame as an indexed PNG, maze_NNNN.png
// with the next free number, in the screenshot folder (--screenshot-dir or the settings
// file; made if missing), or else the working directory. Each one saved is named on stderr.
#pragma once

#include <cstdint>

// Notes a release of Print Screen (its own latch, separate from the function keys).
void poll_screenshot_key(const uint8_t state[256]);
// Saves frame_buffer if a release was noted since the last call; true when a file was
// written. The name written last is kept for screenshot_last_name.
bool save_pending_screenshot();
const char* screenshot_last_name();
// Replays write no pictures into the working directory: off, or into `folder` when one
// is given (mazereplay --frames-dir). The game's default is on, in the working directory.
void set_screenshot_folder(bool on, const char* folder);
