// The ball against the maze, the bouncing block and the wanderers; the level's outcome.
#pragma once

#include <cstdint>

extern int32_t level_done;    // set with level_failed when the level ends
extern int32_t level_failed;  // 1 for a loss, 0 for a win
extern int32_t last_cell_row, last_cell_col, last_cell_layer;
extern int32_t first_collision_pass;  // 1 until the first completed pass

void resolve_collisions();
