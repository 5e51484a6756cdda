// Lines and outlines: the clipped Bresenham walk, and a face drawn as its four edges.
#pragma once

#include <cstdint>

// A line of palette index colour & 0xFF, both ends included, clipped to the screen.
void draw_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int colour);

// The outline of a face (corners as x, y, z triples in any order, see fill_face_rows):
// its four edges in the flat colour of rgb (see outline_index), no depth.
void draw_outline(const int32_t* corners, const uint8_t* rgb);
