// Frames as 8-bit indexed PNG files with the game's palette.
#pragma once

#include <cstdint>

// Writes a 640 x 480 frame of palette indices; false (and no file left) on failure.
bool write_frame_png(const char* path, const uint8_t* frame, const uint8_t palette[256][3]);
