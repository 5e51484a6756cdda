// Corner sort and edge walk: a face's corners ordered by row, and the two edges that bound its rows stepped down them.
#pragma once

#include <cstdint>

#include "render/frame.h"

// A corner of a face, relabelled top, second, third and bottom by the sort.
struct Corner {
    int32_t x, y, z;
    double light;
};

// The four corners and their order by ascending row. The pointers point into corners:
// never copied.
struct SortedCorners {
    Corner corners[4];
    Corner* top;
    Corner* second;
    Corner* third;
    Corner* bottom;
};

// Copies the corners (x, y, z triples, a light per corner) and orders them by
// ascending row. Ties between pairs keep a fixed outcome, and equal rows at the top or the
// bottom are put in the order that keeps the edges from crossing.
void sort_corners(const int32_t* corners, const double* lights, SortedCorners* s);

// One side of the face as it crosses the current row.
struct Edge {
    double x, z, light;
    double step_x, step_z, step_light;  // change per row
};

// Everything one fill works on. Each row phase has its own, so that the phases of one
// face can be drawn at the same time on different threads, on cache lines of its own.
struct alignas(64) Walker {
    SortedCorners sorted;
    Edge edge1;                     // spans start here
    Edge edge2;                     // and run toward here
    double red16, green16, blue16;  // the face colour, intensity * 65536
    int row_phase, row_mask;        // the rows drawn: (y & row_mask) == row_phase
};

// Fills the face, corners as x, y, z triples in any order (screen column, screen row,
// depth: 100 * camera z), lights per corner, but only the rows y with
// y % row_step == row_phase. Each phase has its own working state, so the phases of one
// face may be drawn at the same time on different threads. With ties_win a pixel is drawn
// where its depth is at least the one in the buffer, not only above it: the face drawn
// later wins a tie, as the earlier one does otherwise.
void fill_face_rows(const int32_t* corners, const uint8_t* rgb, const double* lights, int row_phase, int row_step,
                    bool ties_win);

// Both edges one row down.
inline void step_edges(Walker* w)
{
    w->edge1.x += w->edge1.step_x;
    w->edge1.z += w->edge1.step_z;
    w->edge1.light += w->edge1.step_light;
    w->edge2.x += w->edge2.step_x;
    w->edge2.z += w->edge2.step_z;
    w->edge2.light += w->edge2.step_light;
}

// Moves both edges past rows that are not drawn. Up to edge_skip_by_steps_limit rows each
// value is what adding its step row by row gives, exactly as drawing them would; beyond it
// one multiplication advances it, which may round differently in the last bits.
void skip_rows(Walker* w, int64_t rows);
constexpr int64_t edge_skip_by_steps_limit = 1 << 18;
