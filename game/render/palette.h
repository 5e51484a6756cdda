// The fixed 7 x 6 x 6 palette, the 2 x 2 ordered-dither tables and the colour rules.
#pragma once

#include <cstdint>

// 256 entries of red, green, blue; 0..251 the colour cube, 252..255 our own choice.
extern uint8_t palette[256][3];
// Row: intensity 0..255; column: dither position 2 * (x & 1) + (y & 1).
extern uint8_t dither_red[256][4];
extern uint8_t dither_green_blue[256][4];

void build_palette();
void build_dither_tables();

// Flat palette index of an RGB triple: red / 37 + 7 * (blue / 43) + 42 * (green / 43).
int outline_index(const uint8_t* rgb);
// The palette entry (0..255) nearest to a colour, for overlay text.
int nearest_palette_index(int red, int green, int blue);
