// Nearest-first drawing: a solid frame's faces and discs kept as the scene gives them, then drawn nearest first.
#include "render/nearest_first.h"

#include <algorithm>
#include <vector>

#include "render/depth_floors.h"
#include "render/discs.h"
#include "render/draw_order.h"
#include "render/draw_threads.h"
#include "render/edges.h"
#include "render/frame.h"

namespace {

struct KeptFace {
    int32_t corners[12];
    const uint8_t* rgb;
    double lights[4];
};

struct KeptDisc {
    int32_t cx, cy, radius;
    double depth;
};

enum KeptKind { KEPT_FACE, KEPT_DISC };

// A face or disc kept to be drawn nearest first.
struct Kept {
    KeptKind kind;
    union {
        KeptFace face;
        KeptDisc disc;
    };
};

// Per drawing thread.
thread_local bool keeping = false;
thread_local std::vector<Kept> kept;
thread_local std::vector<double> nearness;
thread_local std::vector<int> order;
thread_local int last_disc;  // the ball's: a scene draws no other disc

}  // namespace

void fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights)
{
    if (keeping) {
        Kept& k = kept.emplace_back();
        k.kind = KEPT_FACE;
        std::copy(corners, corners + 12, k.face.corners);
        k.face.rgb = rgb;
        std::copy(lights, lights + 4, k.face.lights);
        nearness.push_back(std::max(std::max(corners[2], corners[5]), std::max(corners[8], corners[11])));
        return;
    }
    const DrawRows rows = draw_thread_rows();
    fill_face_rows(corners, rgb, lights, rows.phase, rows.step, false);
}

void draw_disc_on_rows(int32_t cx, int32_t cy, double depth, int32_t radius)
{
    if (keeping) {
        Kept& k = kept.emplace_back();
        k.kind = KEPT_DISC;
        k.disc = {cx, cy, radius, depth};
        last_disc = static_cast<int>(nearness.size());
        nearness.push_back(depth);
        return;
    }
    const DrawRows rows = draw_thread_rows();
    draw_disc_rows(cx, cy, depth, radius, rows.phase, rows.step, false);
}

void start_nearest_first()
{
    keeping = true;
    kept.clear();
    nearness.clear();
    last_disc = -1;
    const DrawRows rows = draw_thread_rows();
    keep_depth_floors(rows.phase, rows.step, true);
}

void finish_nearest_first()
{
    keeping = false;
    const DrawRows rows = draw_thread_rows();
    const int count = static_cast<int>(kept.size());
    order.resize(kept.size());
    // The drawing starts at the ball: the camera looks at it, so it is rarely hidden, and
    // from close by it covers much of the screen.
    order_nearest_first(nearness.data(), count, last_disc, order.data());
    for (int i = 0; i < count; i++) {
        const Kept& k = kept[order[i]];
        const bool ties_win = order[i] < order[0];
        if (k.kind == KEPT_FACE) {
            fill_face_rows(k.face.corners, k.face.rgb, k.face.lights, rows.phase, rows.step, ties_win);
        } else if (!ties_win || k.disc.depth > clear_depth) {
            // A disc no nearer than the cleared buffer draws nothing in order; with ties
            // winning it would.
            draw_disc_rows(k.disc.cx, k.disc.cy, k.disc.depth, k.disc.radius, rows.phase, rows.step, ties_win);
        }
    }
    keep_depth_floors(rows.phase, rows.step, false);
}
