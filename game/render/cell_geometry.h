// The faces of one cell word: a unit box or one of four ramps over its grid square.
#pragma once

#include <cstdint>

// Emits the faces whose bits are set in word, for the square at (row, col), in the
// square's colour. Words with another shape (0x40, 0x80, 0xC0, bits 9 or 10) draw nothing.
void draw_cell_faces(uint16_t word, int row, int col);
