// Sizes and rules of play that several subsystems and tools share: the simulation
// applies them, the renderer draws the same shapes, the loader places entities with
// them and the tools check levels against them.
#pragma once

#include <cstdint>

// The player's ball (and every ball and wanderer) is a sphere of this radius; it is
// also the wall clearance and the resting height above a floor.
constexpr double BALL_RADIUS = 0.375;
// The bouncing block is a cube 3 units on a side; standing on the ground its centre
// is at its half-size.
constexpr double BLOCK_HALF_SIZE = 1.5;
constexpr double BLOCK_REST_HEIGHT = 1.5;
// The y at or beyond which the pushed block wins the level.
constexpr double BLOCK_GOAL_Y = 20.5;
// A square of exactly this colour is a goal square.
constexpr uint8_t GOAL_COLOR[3] = {0, 0, 255};
// A wanderer whose centre is nearer the ball's than this (squared, 3-D) catches it.
constexpr double WANDERER_REACH_SQUARED = 0.8196224089;

inline bool is_goal_color(const uint8_t rgb[3])
{
    return rgb[0] == GOAL_COLOR[0] && rgb[1] == GOAL_COLOR[1] && rgb[2] == GOAL_COLOR[2];
}
