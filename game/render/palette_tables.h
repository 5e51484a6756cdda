// The dither rule and its tables rearranged for the span loop: one row of 256 intensities
// per dither position, with the palette weights (1, 7, 42) already applied. Built by
// build_dither_tables together with dither_red and dither_green_blue.
#pragma once

#include <cstdint>

extern uint8_t dither_red_by_position[4][256];
extern uint8_t dither_blue_by_position[4][256];   // 7 * dither_green_blue
extern uint8_t dither_green_by_position[4][256];  // 42 * dither_green_blue

// 256 * dither offset for position k = 2 * (x & 1) + (y & 1): 0.125, 0.625, 0.875, 0.375.
constexpr int dither_threshold[4] = {32, 160, 224, 96};
// The dithered level of intensity v (0..255) at position k: floor(v * scale / 256 +
// threshold / 256), exact in integers. Red has 7 levels, green and blue 6.
constexpr int red_scale = 6;
constexpr int green_blue_scale = 5;
constexpr int dithered_level(int v, int scale, int k) { return (scale * v + dither_threshold[k]) >> 8; }
