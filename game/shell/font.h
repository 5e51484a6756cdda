// The overlay font: 8 x 16 pixel cells for printable ASCII, drawn with a transparent
// background into a 640 x 480 buffer of palette indices.
#pragma once

#include <cstdint>

constexpr int FONT_CELL_WIDTH = 8;
constexpr int FONT_CELL_HEIGHT = 16;

// Draws text with the top-left corner of its first cell at (x, y) in one palette index.
// Pixels outside the buffer are skipped; characters outside ' '..'~' leave an empty cell.
void draw_font_text(uint8_t* buffer, const char* text, int x, int y, uint8_t index);

// The bit rows of a character's cell (bit 0x80 the leftmost pixel), or null when the
// font has no glyph for it.
const uint8_t* font_glyph(char c);
