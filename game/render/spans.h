// Span set-up: a face's rows between its two edges, clipped, depths in exact runs, colours as 16.16 steps.
#pragma once

#include <cstdint>

#include "render/edges.h"

// Walks the rows [y_begin, y_end) of one band of the walker's face, drawing its own rows
// from first_row down to the bottom of the screen, each from edge1 toward edge2, both ends
// included. False once the band has run past the bottom: nothing below can be drawn.
template <bool TiesWin>
bool walk_band(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row);
