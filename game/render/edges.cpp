// Corner sort and edge walk: which two edges bound each band of a face's rows, and how they move down them.
#include "render/edges.h"

#include <algorithm>

#include "render/depth_steps.h"
#include "render/spans.h"

static Walker walkers[max_row_phases];

void sort_corners(const int32_t* v, const double* lights, SortedCorners* s)
{
    Corner* corners = s->corners;
    for (int i = 0; i < 4; i++) corners[i] = {v[3 * i], v[3 * i + 1], v[3 * i + 2], lights[i]};
    Corner* low_a = corners[1].y < corners[0].y ? &corners[1] : &corners[0];
    Corner* high_a = low_a == &corners[0] ? &corners[1] : &corners[0];
    Corner* low_b = corners[3].y < corners[2].y ? &corners[3] : &corners[2];
    Corner* high_b = low_b == &corners[2] ? &corners[3] : &corners[2];

    Corner* other_low;
    if (low_b->y < low_a->y) {
        s->top = low_b;
        other_low = low_a;
    } else {
        s->top = low_a;
        other_low = low_b;
    }
    Corner* other_high;
    if (high_b->y < high_a->y) {
        s->bottom = high_a;
        other_high = high_b;
    } else {
        s->bottom = high_b;
        other_high = high_a;
    }
    // The one given first decides a tie between the two middle corners.
    Corner* a = other_low < other_high ? other_low : other_high;
    Corner* b = a == other_low ? other_high : other_low;
    if (a->y < b->y) {
        s->second = a;
        s->third = b;
    } else {
        s->second = b;
        s->third = a;
    }

    Corner*& top = s->top;
    Corner*& second = s->second;
    Corner*& third = s->third;
    Corner*& bottom = s->bottom;
    if (top->y == second->y) {
        if ((third->x < bottom->x && second->x < top->x) ||
            (top->x < second->x && bottom->x < third->x)) {
            std::swap(top, second);
        }
    } else if (third->y == bottom->y) {
        if ((top->x < second->x && bottom->x < third->x) ||
            (second->x < top->x && third->x < bottom->x)) {
            std::swap(third, bottom);
        }
    }
}

static void start_edge(Edge* edge, const Corner* from, const Corner* to)
{
    edge->x = from->x;
    edge->z = from->z;
    edge->light = from->light;
    // Differences of 32-bit values are exact in double precision.
    double rows = static_cast<double>(to->y) - from->y;
    if (rows != 0.0) {
        edge->step_x = (static_cast<double>(to->x) - from->x) / rows;
        edge->step_z = (static_cast<double>(to->z) - from->z) / rows;
        edge->step_light = (to->light - from->light) / rows;
    } else {
        // An edge within one row is only active in empty bands: its steps are never used.
        edge->step_x = edge->step_z = edge->step_light = 0.0;
    }
}

// Rows skipped one addition at a time: cheaper than working out the runs.
constexpr int64_t few_rows = 32;

// Corners near the eye plane can put an edge billions of rows away: beyond the limit one
// multiplication advances it.
void skip_rows(Walker* w, int64_t rows)
{
    if (rows <= few_rows) {
        for (int64_t i = 0; i < rows; i++) step_edges(w);
        return;
    }
    Edge* edges[2] = {&w->edge1, &w->edge2};
    if (rows <= edge_skip_by_steps_limit) {
        // The sums of steps in closed form over their exact runs (see advance_by_steps).
        for (Edge* e : edges) {
            e->x = advance_by_steps(e->x, e->step_x, rows);
            e->z = advance_by_steps(e->z, e->step_z, rows);
            e->light = advance_by_steps(e->light, e->step_light, rows);
        }
        return;
    }
    double n = static_cast<double>(rows);
    for (Edge* e : edges) {
        e->x += n * e->step_x;
        e->z += n * e->step_z;
        e->light += n * e->step_light;
    }
}

// The face's rows in three bands, from corner row to corner row, each between the two
// edges that bound it there.
template <bool TiesWin>
static void walk_bands(Walker* w)
{
    const Corner* top = w->sorted.top;
    const Corner* second = w->sorted.second;
    const Corner* third = w->sorted.third;
    const Corner* bottom = w->sorted.bottom;

    // Second and third on the same side of the line top-bottom make it an edge of the
    // outline; otherwise it is a diagonal. A vertical line counts as a diagonal.
    bool same_side = false;
    if (top->x != bottom->x) {
        double slope = (static_cast<double>(top->y) - bottom->y) / (static_cast<double>(top->x) - bottom->x);
        double c = top->y - top->x * slope;
        double line_second = slope * second->x + c;
        double line_third = slope * third->x + c;
        same_side = (second->y < line_second && third->y < line_third) ||
                    (second->y > line_second && third->y > line_third);
    }

    // Band 1 may draw row 0; bands 2 and 3 start at row 1.
    start_edge(&w->edge1, top, second);
    start_edge(&w->edge2, top, same_side ? bottom : third);
    if (walk_band<TiesWin>(w, top->y, second->y, 0)) {
        start_edge(&w->edge1, second, same_side ? third : bottom);
        if (walk_band<TiesWin>(w, second->y, third->y, 1)) {
            if (same_side) start_edge(&w->edge1, third, bottom);
            else start_edge(&w->edge2, third, bottom);
            walk_band<TiesWin>(w, third->y, bottom->y, 1);
        }
    }
}

void fill_face_rows(const int32_t* corners, const uint8_t* rgb, const double* lights, int row_phase, int row_step,
                    bool ties_win)
{
    if (!valid_row_phase(row_phase, row_step)) return;
    Walker* w = &walkers[row_phase];
    w->row_phase = row_phase;
    w->row_mask = row_step - 1;
    sort_corners(corners, lights, &w->sorted);
    w->red16 = rgb[0] * 65536.0;
    w->green16 = rgb[1] * 65536.0;
    w->blue16 = rgb[2] * 65536.0;
    if (ties_win) walk_bands<true>(w);
    else walk_bands<false>(w);
}
