// Balls: a perspective-sized black disc at one depth (solid mode) or a circle outline.
#pragma once

#include <cstdint>

constexpr int ball_outline_color = 78;  // (36, 42, 213)

// Projects the ball's centre and radius and draws it if its bounding square reaches the
// screen: draw_disc in solid mode, draw_circle otherwise.
void draw_ball(double x, double y, double z, double radius);
