// Motion of every entity by its drive and velocity, and the maze's forces on the ball.
#pragma once

#include <cstdint>

extern uint32_t motion_tick;  // tick of the previous integrate_motion, 0 before any
extern uint32_t force_tick;   // tick of the previous apply_cell_forces, 0 before any

// Each takes the tick counter's value as the frame loop read it for that step.
void integrate_motion(uint32_t now);
// apply_cell_forces, then resolve_collisions.
void update_player(uint32_t now);
void apply_cell_forces(uint32_t now);
