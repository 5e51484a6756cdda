// The rasterizer's front: faces and balls drawn solid or as outlines, the one place that looks at DEBUG_SOLID for them.
#pragma once

#include <cstdint>

// Fills (DEBUG_SOLID set) or outlines (clear) the quadrilateral of four corners given in
// any order as x, y, z triples: screen column, screen row, depth (100 * camera z). Lights
// are per corner. A fill goes to the calling drawing thread's rows (see fill_face).
void fill_polygon(const int32_t* corners, const uint8_t* rgb, const double* lights);

// A ball at screen centre (cx, cy) with radius |radius|: a disc at the depth (see
// draw_disc_on_rows) when DEBUG_SOLID is set, else its outline in the colour given.
void draw_ball_shape(int32_t cx, int32_t cy, double depth, int32_t radius, int outline_colour);
