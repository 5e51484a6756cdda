// The depth-tested dithered rasterizer: convex quadrilaterals in screen coordinates,
// filled (solid mode) or outlined, and clipped lines.
#pragma once

#include <cstdint>

// Fills (DEBUG_SOLID set) or outlines (clear) the quadrilateral of four corners given in
// any order: screen column, screen row, depth (100 * camera z). Lights are per corner.
void fill_polygon(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1,
                  int32_t x2, int32_t y2, int32_t z2, int32_t x3, int32_t y3, int32_t z3,
                  const uint8_t* rgb, double light0, double light1, double light2, double light3);

// Rows can be split between threads: at most this many phases draw at the same time.
constexpr int max_row_phases = 2;
// A row step is a power of two up to max_row_phases, the phase below it.
constexpr bool valid_row_phase(int row_phase, int row_step)
{
    return row_step >= 1 && row_step <= max_row_phases && (row_step & (row_step - 1)) == 0 && row_phase >= 0 &&
           row_phase < row_step;
}
// Fills the face as fill_polygon does in solid mode, corners as x, y, z triples, but only
// the rows y with y % row_step == row_phase. Each phase has its own working state, so
// the phases of one face may be drawn at the same time on different threads. With
// ties_win a pixel is drawn where its depth is at least the one in the buffer, not only
// above it: the face drawn later wins a tie, as the earlier one does otherwise.
void fill_face_rows(const int32_t* corners, const uint8_t* rgb, const double* lights, int row_phase, int row_step,
                    bool ties_win);

// While keep is set, fills of the phase keep per-row floors of the depth buffer and pass
// over spans that lie wholly below them. Only for a frame whose depths nothing but the
// fills and discs of that phase changes (they only raise them) until it is cleared again:
// the floors start anew (unknown) with every call that sets keep.
void keep_depth_floors(int row_phase, int row_step, bool keep);

// Spans are drawn with 256-bit vectors where the processor has them (the default), else
// with 128-bit ones; the pictures are the same. Returns whether the wide ones are in use
// after the call, for tests and measurements.
bool set_wide_vectors(bool wide);

// A line of palette index colour & 0xFF, both ends included, clipped to the screen.
void draw_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int colour);

// Rows skipped as the sum of one addition per row (worked out over exact runs) before the
// edge walk switches to a multiplication, which may round differently.
constexpr int64_t edge_skip_by_steps_limit = 1 << 18;
