// Safe reads of the grid and the entity table for positions that can be anywhere:
// level data and physics may put an object on the border, outside the grid, or at a
// huge or non-finite coordinate.
#pragma once

#include <cstdint>

#include "world/world.h"

// A coordinate truncated toward zero to its cell index. Clamped to the 32-bit range
// (NaN gives 0), and returned in 64 bits so that index +/- 1 never overflows.
int64_t cell_index(double position);

// The cell word at (layer, row, column); 0, an empty cell, outside the 2 x 64 x 64 grid.
uint16_t cell_near(int64_t layer, int64_t row, int64_t column);

// The ramp field of that cell word.
uint16_t ramp_near(int64_t layer, int64_t row, int64_t column);

// The player's ball, or null if player_index names no slot.
Entity* player_entity();

// The bouncing block of the current level, or null when there is none: block_index
// outlives the level that set it, and a stale slot must not act as a block.
Entity* bouncing_block();
