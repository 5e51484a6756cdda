// The dither tables rearranged for the span loop: one row of 256 intensities per dither
// position, with the palette weights (1, 7, 42) already applied. Built by
// build_dither_tables together with dither_red and dither_green_blue.
#pragma once

#include <cstdint>

extern uint8_t dither_red_by_position[4][256];
extern uint8_t dither_blue_by_position[4][256];   // 7 * dither_green_blue
extern uint8_t dither_green_by_position[4][256];  // 42 * dither_green_blue

// Where a channel's dithered level changes, per dither position and intensity v: the
// nearest intensity above v with another level (256 if none), and below it (-1 if none).
// Blue and green share their levels.
extern int16_t red_level_up[4][256];
extern int16_t red_level_down[4][256];
extern int16_t green_blue_level_up[4][256];
extern int16_t green_blue_level_down[4][256];
