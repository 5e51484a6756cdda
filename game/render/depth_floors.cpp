// Depth floors: kept per drawing thread's rows while a frame is drawn nearest first.
#include "render/depth_floors.h"

alignas(64) double depth_floors[SCREEN_HEIGHT][floor_stride];

// Each flag on a cache line of its own: the phases are drawn by different threads.
struct alignas(64) FloorsKept {
    bool kept;
};
static FloorsKept floors_kept[max_row_phases];

void keep_depth_floors(int row_phase, int row_step, bool keep)
{
    if (!valid_row_phase(row_phase, row_step)) return;
    floors_kept[row_phase].kept = keep;
    if (!keep) return;
    for (int y = row_phase; y < SCREEN_HEIGHT; y += row_step) {
        std::fill(depth_floors[y], depth_floors[y] + floor_stride, -HUGE_VAL);
    }
}

bool depth_floors_kept(int row_phase) { return floors_kept[row_phase].kept; }
