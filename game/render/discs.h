// Midpoint-circle discs and circles at any centre and radius in the 32-bit range.
#pragma once

#include <cstdint>

// Midpoint-circle disc of radius |radius| at (cx, cy), one depth for every pixel, depth
// tested, palette index 0; rows 1..479 only.
void draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius);
// The same on the rows y with y % row_step == row_phase only (see valid_row_phase); with
// ties_win, where the depth is at least the one in the buffer (see fill_face_rows).
void draw_disc_rows(int32_t cx, int32_t cy, double depth, int32_t radius, int row_phase, int row_step, bool ties_win);
// Midpoint-circle outline of radius |radius| in palette index colour & 0xFF, no depth;
// points off the screen are skipped.
void draw_circle(int32_t cx, int32_t cy, int32_t radius, int colour);

// Radii up to this are drawn by walking every step; larger discs are drawn row by row
// from the walk's closed form, each row once (the walk draws most rows several times).
constexpr int64_t disc_walk_limit = 48;
