// Depth floors: per row and tile of 64 columns, a depth nothing there lies below, to pass over hidden spans.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/frame.h"

// While keep is set, fills of the phase keep per-row floors of the depth buffer and pass
// over spans that lie wholly below them. Only for a frame whose depths nothing but the
// fills and discs of that phase changes (they only raise them) until it is cleared again:
// the floors start anew (unknown) with every call that sets keep.
void keep_depth_floors(int row_phase, int row_step, bool keep);
// Whether the floors of the phase are kept.
bool depth_floors_kept(int row_phase);

// Per row and tile of 64 columns, a depth no pixel of the tile lies below. After a row's
// tiles comes the highest of them. Rows are 128 bytes apart, so that threads drawing
// different rows never share a line. Read and raised by the span set-up, inline below.
constexpr int floor_tile_shift = 6;
constexpr int floor_tiles = SCREEN_WIDTH >> floor_tile_shift;
constexpr int highest_floor = floor_tiles;
constexpr int floor_stride = 16;
static_assert(highest_floor < floor_stride && floor_stride % 8 == 0);
extern double depth_floors[SCREEN_HEIGHT][floor_stride];

// A span's depths, z and then reach further, each stray from z + k dz by less than 2^-43
// of the largest magnitude on the way (at most 639 roundings of half an ulp): the floors
// keep a margin of eight times that.
constexpr double floor_margin_scale = 0x1p-40;
inline double depth_floor_margin(double z, double reach)
{
    return (std::fabs(z) + std::fabs(reach)) * floor_margin_scale;
}

// Whether a span of row y from column leftmost, its depths z and then dz added count - 1
// times, lies wholly below the floors of its tiles (or at them, unless ties win), so that
// no depth test can pass.
template <bool TiesWin>
inline bool hidden_by_floors(int y, int64_t leftmost, int64_t count, double z, double dz)
{
    const double* floors = depth_floors[y];
    const double reach = static_cast<double>(count - 1) * dz;
    const double z_last = z + reach;
    if (std::max(z, z_last) > floors[highest_floor]) return false;  // the common case
    const double highest = std::max(z, z_last) + depth_floor_margin(z, reach);  // NaN or infinite: never hidden
    const int64_t last_column = leftmost + count - 1;
    double lowest = floors[leftmost >> floor_tile_shift];
    for (int64_t t = (leftmost >> floor_tile_shift) + 1; t <= last_column >> floor_tile_shift; t++) {
        lowest = std::min(lowest, floors[t]);
    }
    return TiesWin ? highest < lowest : highest <= lowest;
}

// After a span is drawn (its first column first, running right if forward): the floors of
// the tiles it covers whole are raised to its depths there, less the margin.
inline void raise_floors(int y, int64_t first, int64_t leftmost, int64_t count, bool forward, double z, double dz)
{
    constexpr int64_t tile = int64_t{1} << floor_tile_shift;
    if (count < tile) return;
    double* floors = depth_floors[y];
    const double margin = depth_floor_margin(z, static_cast<double>(count - 1) * dz);
    const double column_dz = forward ? dz : -dz;
    const int64_t last_column = leftmost + count - 1;
    for (int64_t t = (leftmost + tile - 1) >> floor_tile_shift; (t + 1) * tile - 1 <= last_column; t++) {
        const double a = z + static_cast<double>(t * tile - first) * column_dz;
        const double b = z + static_cast<double>(t * tile + tile - 1 - first) * column_dz;
        const double low = std::min(a, b) - margin;
        if (low > floors[t]) {  // a NaN raises nothing
            floors[t] = low;
            floors[highest_floor] = std::max(floors[highest_floor], low);
        }
    }
}
