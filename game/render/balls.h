// Balls: a perspective-sized black disc at one depth (solid mode) or a circle outline.
#pragma once

#include <cstdint>

constexpr int ball_outline_color = 78;  // (36, 42, 213)

// Projects the ball's centre and radius and draws it if its bounding square reaches the
// screen: draw_disc in solid mode, draw_circle otherwise.
void draw_ball(double x, double y, double z, double radius);
// Midpoint-circle disc of radius |radius| at (cx, cy), one depth for every pixel, depth
// tested, palette index 0; rows 1..479 only.
void draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius);
// Midpoint-circle outline of radius |radius| in palette index colour & 0xFF, no depth;
// points off the screen are skipped.
void draw_circle(int32_t cx, int32_t cy, int32_t radius, int colour);

// Radii up to this are drawn by walking every step; larger discs are drawn row by row
// from the walk's closed form, each row once (the walk draws most rows several times).
constexpr int64_t disc_walk_limit = 48;
