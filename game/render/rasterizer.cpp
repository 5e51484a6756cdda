#include "render/rasterizer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/frame.h"
#include "render/palette.h"
#include "render/palette_tables.h"
#include "world/numeric.h"

// A corner of the face being filled, relabelled top, second, third and bottom by the sort.
struct Corner {
    int32_t x, y, z;
    double light;
};

// One side of the face as it crosses the current row.
struct Edge {
    double x, z, light;
    double step_x, step_z, step_light;  // change per row
};

// One row of the face, clipped, ready for its pixel loop.
struct Span {
    int y;
    bool forward;   // left to right
    bool in_table;  // every channel value of the span lies within the dither tables
    int64_t first, count;
    double z, dz;
    int64_t r, g, b;
    int32_t dr, dg, db;
};

// Rows whose spans are set up before any is drawn: their depth sums are independent
// chains of additions that the processor overlaps.
constexpr int span_group = 4;
// Spans shorter than this are drawn at once, alone, in the plain loop: for them the
// set-up of the grouped walk costs more than it saves.
constexpr int64_t short_span = 96;

// Everything one fill works on. Each row phase has its own, so that the phases of one
// face can be drawn at the same time on different threads.
struct Walker {
    Corner corners[4];
    Corner* top;
    Corner* second;
    Corner* third;
    Corner* bottom;
    Edge edge1;  // spans start here
    Edge edge2;  // and run toward here
    double red16, green16, blue16;  // the face colour, intensity * 65536
    int row_phase, row_mask;        // the rows drawn: (y & row_mask) == row_phase
    int span_count;
    Span spans[span_group];
    double depths[span_group][SCREEN_WIDTH];  // each span's depth per pixel, in screen order
};

static Walker walkers[max_row_phases];

// Orders the corners by ascending row. Ties between pairs keep a fixed outcome, and equal
// rows at the top or the bottom are put in the order that keeps the edges from crossing.
static void sort_corners(Walker* w)
{
    Corner* corners = w->corners;
    Corner* low_a = corners[1].y < corners[0].y ? &corners[1] : &corners[0];
    Corner* high_a = low_a == &corners[0] ? &corners[1] : &corners[0];
    Corner* low_b = corners[3].y < corners[2].y ? &corners[3] : &corners[2];
    Corner* high_b = low_b == &corners[2] ? &corners[3] : &corners[2];

    Corner* other_low;
    if (low_b->y < low_a->y) {
        w->top = low_b;
        other_low = low_a;
    } else {
        w->top = low_a;
        other_low = low_b;
    }
    Corner* other_high;
    if (high_b->y < high_a->y) {
        w->bottom = high_a;
        other_high = high_b;
    } else {
        w->bottom = high_b;
        other_high = high_a;
    }
    // The one given first decides a tie between the two middle corners.
    Corner* a = other_low < other_high ? other_low : other_high;
    Corner* b = a == other_low ? other_high : other_low;
    if (a->y < b->y) {
        w->second = a;
        w->third = b;
    } else {
        w->second = b;
        w->third = a;
    }

    Corner*& top = w->top;
    Corner*& second = w->second;
    Corner*& third = w->third;
    Corner*& bottom = w->bottom;
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

static void draw_outline(const Walker* w, const uint8_t* rgb)
{
    int colour = outline_index(rgb);
    draw_line(w->top->x, w->top->y, w->second->x, w->second->y, colour);
    draw_line(w->top->x, w->top->y, w->third->x, w->third->y, colour);
    draw_line(w->bottom->x, w->bottom->y, w->second->x, w->second->y, colour);
    draw_line(w->bottom->x, w->bottom->y, w->third->x, w->third->y, colour);
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

static void step_edges(Walker* w)
{
    w->edge1.x += w->edge1.step_x;
    w->edge1.z += w->edge1.step_z;
    w->edge1.light += w->edge1.step_light;
    w->edge2.x += w->edge2.step_x;
    w->edge2.z += w->edge2.step_z;
    w->edge2.light += w->edge2.step_light;
}

// Moves both edges past rows that are not drawn. Up to edge_skip_by_steps_limit rows
// this adds row by row, exactly as drawing them would; corners near the eye plane can
// put an edge billions of rows away, and beyond the limit one multiplication advances
// it, which may differ from the sum of steps in the last bits only.
static void skip_rows(Walker* w, int64_t rows)
{
    if (rows <= edge_skip_by_steps_limit) {
        for (int64_t i = 0; i < rows; i++) step_edges(w);
        return;
    }
    double n = static_cast<double>(rows);
    Edge* edges[2] = {&w->edge1, &w->edge2};
    for (Edge* e : edges) {
        e->x += n * e->step_x;
        e->z += n * e->step_z;
        e->light += n * e->step_light;
    }
}

// Channel values are 16.16 fixed point; 64-bit accumulators cannot overflow over one
// span once the start is kept within +-2^62 (steps are 32-bit, spans at most 640 long).
constexpr int64_t channel_limit = int64_t{1} << 62;
constexpr int64_t channel_top = (int64_t{256} << 16) - 1;  // integer part 255

static int64_t advance_channel(int32_t start, int64_t steps, int32_t step)
{
    __int128 value = static_cast<__int128>(start) + static_cast<__int128>(steps) * step;
    if (value > channel_limit) return channel_limit;
    if (value < -channel_limit) return -channel_limit;
    return static_cast<int64_t>(value);
}

static bool channel_in_table(int64_t start, int64_t steps, int32_t step)
{
    int64_t end = start + steps * step;
    return start >= 0 && start <= channel_top && end >= 0 && end <= channel_top;
}

static int clamp_intensity(int64_t channel)
{
    int64_t v = channel >> 16;
    return static_cast<int>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The dither tables of a span's first column and of the one after it; columns alternate.
struct SpanDither {
    const uint8_t* red[2];
    const uint8_t* green[2];
    const uint8_t* blue[2];
};

static inline SpanDither span_dither(const Span& span)
{
    int row_parity = span.y & 1;
    int k_first = 2 * static_cast<int>(span.first & 1) + row_parity;
    int k_next = 2 * static_cast<int>((span.first + 1) & 1) + row_parity;
    return {{dither_red_by_position[k_first], dither_red_by_position[k_next]},
            {dither_green_by_position[k_first], dither_green_by_position[k_next]},
            {dither_blue_by_position[k_first], dither_blue_by_position[k_next]}};
}

// The pixel loop of one span whose depths are already summed (in screen order, see
// draw_spans), for spans whose channels may leave the tables. direction is +1 or -1.
template <int direction>
static void walk_span_clamped(const Span& span, const double* depths)
{
    int64_t index = static_cast<int64_t>(span.y) * SCREEN_WIDTH + span.first;
    const SpanDither dither = span_dither(span);
    uint8_t* frame = frame_buffer;
    double* depth = depth_buffer;
    int64_t r = span.r, g = span.g, b = span.b;
    const int64_t count = span.count;
    for (int64_t i = 0; i < count; i++, index += direction) {
        double z = depths[direction > 0 ? i : count - 1 - i];
        if (depth[index] < z) {
            depth[index] = z;
            int parity = static_cast<int>(i & 1);
            frame[index] = static_cast<uint8_t>(dither.red[parity][clamp_intensity(r)] +
                                                dither.blue[parity][clamp_intensity(b)] +
                                                dither.green[parity][clamp_intensity(g)]);
        }
        r += span.dr;
        g += span.dg;
        b += span.db;
    }
}

// The values over which a channel of the tables keeps its dithered level at both dither
// positions k0 and k1 of a row: [*low, *high].
static void find_level_bounds(int64_t value, const int16_t (*up)[256], const int16_t (*down)[256], int k0, int k1,
                              int64_t* low, int64_t* high)
{
    int v = static_cast<int>(value >> 16);
    *high = (static_cast<int64_t>(std::min(up[k0][v], up[k1][v])) << 16) - 1;
    *low = static_cast<int64_t>(std::max(down[k0][v], down[k1][v]) + 1) << 16;
}

// For 8 pixels, the byte mask of each 8-bit pattern of passed depth tests.
struct ByteMasks {
    uint64_t of[256];
};
static constexpr ByteMasks byte_masks = [] {
    ByteMasks m{};
    for (int bits = 0; bits < 256; bits++) {
        for (int q = 0; q < 8; q++) {
            if (bits & (1 << q)) m.of[bits] |= uint64_t{0xFF} << (8 * q);
        }
    }
    return m;
}();

// The pixel loop of a span whose channels stay within the tables, its depths already
// summed in screen order. It runs left to right whichever way the span was set up:
// pixel i of the span is column first + i or first - i, each pixel gets the same depth
// and the same channel values either way, and its colour depends on nothing else. A
// channel has only six or seven dithered levels, so over most groups of eight columns
// the colours are the same two, alternating with the column; each group is depth-tested
// two pixels to an instruction and written bytewise.
static void walk_span(const Span& span, const double* depths)
{
    const int64_t count = span.count;
    const int64_t leftmost = span.forward ? span.first : span.first - (count - 1);
    // Channel values at the leftmost column and their change per column, exact integers.
    int64_t r = span.forward ? span.r : span.r + (count - 1) * span.dr;
    int64_t g = span.forward ? span.g : span.g + (count - 1) * span.dg;
    int64_t b = span.forward ? span.b : span.b + (count - 1) * span.db;
    const int64_t dr = span.forward ? span.dr : -static_cast<int64_t>(span.dr);
    const int64_t dg = span.forward ? span.dg : -static_cast<int64_t>(span.dg);
    const int64_t db = span.forward ? span.db : -static_cast<int64_t>(span.db);
    const int k_even = span.y & 1;  // dither position of even columns
    const int k_odd = 2 + (span.y & 1);
    double* depth = depth_buffer + static_cast<int64_t>(span.y) * SCREEN_WIDTH + leftmost;
    uint8_t* frame = frame_buffer + static_cast<int64_t>(span.y) * SCREEN_WIDTH + leftmost;
    int64_t j = 0;
#if defined(__SSE2__)
    // The values keeping the current levels, low .. low + range (none until the first
    // group: channels in the tables are never negative), and the current two colours over
    // eight columns from a group's start. Values are linear along the row, so once the
    // levels were found at or before a group's start, the group keeps them when its last
    // column does.
    int64_t r_low = -(int64_t{1} << 62), g_low = r_low, b_low = r_low;
    uint64_t r_range = 0, g_range = 0, b_range = 0;
    auto keeps = [&](int64_t rv, int64_t gv, int64_t bv) {
        return static_cast<uint64_t>(rv - r_low) <= r_range && static_cast<uint64_t>(gv - g_low) <= g_range &&
               static_cast<uint64_t>(bv - b_low) <= b_range;
    };
    uint64_t pattern = 0;
    for (; j + 8 <= count; j += 8) {
        uint64_t group_pattern = pattern;
        if (keeps(r + 7 * dr, g + 7 * dg, b + 7 * db)) {
            r += 8 * dr;
            g += 8 * dg;
            b += 8 * db;
        } else {
            // Levels change within the group: its columns in pieces of one colour pair.
            group_pattern = 0;
            for (int q = 0; q < 8;) {
                if (!keeps(r, g, b)) {
                    int64_t high;
                    find_level_bounds(r, red_level_up, red_level_down, k_even, k_odd, &r_low, &high);
                    r_range = static_cast<uint64_t>(high - r_low);
                    find_level_bounds(g, green_blue_level_up, green_blue_level_down, k_even, k_odd, &g_low, &high);
                    g_range = static_cast<uint64_t>(high - g_low);
                    find_level_bounds(b, green_blue_level_up, green_blue_level_down, k_even, k_odd, &b_low, &high);
                    b_range = static_cast<uint64_t>(high - b_low);
                    uint64_t even = static_cast<uint8_t>(dither_red_by_position[k_even][r >> 16] +
                                                         dither_blue_by_position[k_even][b >> 16] +
                                                         dither_green_by_position[k_even][g >> 16]);
                    uint64_t odd = static_cast<uint8_t>(dither_red_by_position[k_odd][r >> 16] +
                                                        dither_blue_by_position[k_odd][b >> 16] +
                                                        dither_green_by_position[k_odd][g >> 16]);
                    pattern = ((leftmost & 1) ? odd | (even << 8) : even | (odd << 8)) * 0x0001000100010001ull;
                }
                int m = 1;
                while (q + m < 8 && keeps(r + m * dr, g + m * dg, b + m * db)) m++;
                group_pattern |= pattern & ((~uint64_t{0} >> (64 - 8 * m)) << (8 * q));
                r += m * dr;
                g += m * dg;
                b += m * db;
                q += m;
            }
        }
        unsigned passed = 0;
        for (int q = 0; q < 8; q += 2) {
            __m128d new_depth = _mm_loadu_pd(depths + j + q);
            __m128d old_depth = _mm_loadu_pd(depth + j + q);
            __m128d nearer = _mm_cmplt_pd(old_depth, new_depth);
            passed |= static_cast<unsigned>(_mm_movemask_pd(nearer)) << q;
            _mm_storeu_pd(depth + j + q, _mm_or_pd(_mm_and_pd(nearer, new_depth), _mm_andnot_pd(nearer, old_depth)));
        }
        if (passed != 0) {
            uint64_t select = byte_masks.of[passed];
            uint64_t pixels;
            std::memcpy(&pixels, frame + j, 8);
            pixels = (pixels & ~select) | (group_pattern & select);
            std::memcpy(frame + j, &pixels, 8);
        }
    }
#endif
    for (; j < count; j++) {
        if (depth[j] < depths[j]) {
            depth[j] = depths[j];
            int k = ((leftmost + j) & 1) ? k_odd : k_even;
            frame[j] = static_cast<uint8_t>(dither_red_by_position[k][r >> 16] + dither_blue_by_position[k][b >> 16] +
                                            dither_green_by_position[k][g >> 16]);
        }
        r += dr;
        g += dg;
        b += db;
    }
}

// The pixel loop of a short span, its depth summed as it goes: too short for the setup
// of the grouped walk to pay. direction is +1 or -1; clamped is false when every channel
// value of the span is known to lie within the tables.
template <int direction, bool clamped>
static void walk_short_span(const Span& span)
{
    int64_t index = static_cast<int64_t>(span.y) * SCREEN_WIDTH + span.first;
    const SpanDither dither = span_dither(span);
    uint8_t* frame = frame_buffer;
    double* depth = depth_buffer;
    double z = span.z;
    int64_t r = span.r, g = span.g, b = span.b;
    for (int64_t i = 0; i < span.count; i++, index += direction) {
        if (depth[index] < z) {
            depth[index] = z;
            int parity = static_cast<int>(i & 1);
            if (clamped) {
                frame[index] = static_cast<uint8_t>(dither.red[parity][clamp_intensity(r)] +
                                                    dither.blue[parity][clamp_intensity(b)] +
                                                    dither.green[parity][clamp_intensity(g)]);
            } else {
                frame[index] = static_cast<uint8_t>(dither.red[parity][r >> 16] + dither.blue[parity][b >> 16] +
                                                    dither.green[parity][g >> 16]);
            }
        }
        z += span.dz;
        r += span.dr;
        g += span.dg;
        b += span.db;
    }
}

static void draw_short_span(const Span& span)
{
    if (span.forward) {
        if (span.in_table) walk_short_span<1, false>(span);
        else walk_short_span<1, true>(span);
    } else {
        if (span.in_table) walk_short_span<-1, false>(span);
        else walk_short_span<-1, true>(span);
    }
}

// Sums the depths of N spans side by side from pixel `from` to `until`: each span's own
// sequence of additions, z, z + dz, (z + dz) + dz, ..., exactly as one span alone. The
// sums of different spans do not wait for each other. Each span's depths are stored in
// screen order, left to right, whichever way the span runs.
template <int N>
static void sum_depths(Walker* w, const int* order, double* z, int64_t from, int64_t until)
{
    double acc[N];
    double step[N];
    double* out[N];
    int64_t stride[N];
    for (int k = 0; k < N; k++) {
        const Span& span = w->spans[order[k]];
        acc[k] = z[order[k]];
        step[k] = span.dz;
        stride[k] = span.forward ? 1 : -1;
        out[k] = w->depths[order[k]] + (span.forward ? from : span.count - 1 - from);
    }
    for (int64_t i = from; i < until; i++) {
        for (int k = 0; k < N; k++) {
            *out[k] = acc[k];
            out[k] += stride[k];
            acc[k] += step[k];
        }
    }
    for (int k = 0; k < N; k++) z[order[k]] = acc[k];
}

// Draws the spans set up so far, then forgets them.
static void draw_spans(Walker* w)
{
    int n = w->span_count;
    w->span_count = 0;
    if (n == 0) return;
    // Shortest first: all spans are summed together up to the shortest one's end, then
    // those left over up to the next end, and so on.
    int order[span_group];
    double z[span_group];
    for (int k = 0; k < n; k++) {
        order[k] = k;
        z[k] = w->spans[k].z;
    }
    for (int k = 1; k < n; k++) {
        for (int j = k; j > 0 && w->spans[order[j]].count < w->spans[order[j - 1]].count; j--)
            std::swap(order[j], order[j - 1]);
    }
    int64_t done = 0;
    for (int s = 0; s < n; s++) {
        int64_t until = w->spans[order[s]].count;
        if (until <= done) continue;
        switch (n - s) {
        case 4: sum_depths<4>(w, order + s, z, done, until); break;
        case 3: sum_depths<3>(w, order + s, z, done, until); break;
        case 2: sum_depths<2>(w, order + s, z, done, until); break;
        default: sum_depths<1>(w, order + s, z, done, until); break;
        }
        done = until;
    }
    for (int k = 0; k < n; k++) {
        const Span& span = w->spans[k];
        const double* depths = w->depths[k];
        if (span.in_table) walk_span(span, depths);
        else if (span.forward) walk_span_clamped<1>(span, depths);
        else walk_span_clamped<-1>(span, depths);
    }
}

// Sets up row y from edge1 toward edge2, both ends included, clipped to the screen, and
// draws the spans set up so far once there are span_group of them.
static void add_span(Walker* w, int y)
{
    const Edge& edge1 = w->edge1;
    const Edge& edge2 = w->edge2;
    double x1 = edge1.x;
    double x2 = edge2.x;
    bool forward = x1 <= x2;
    double width = forward ? x2 - x1 : x1 - x2;
    double dz = 0.0;
    double dl = 0.0;
    // A span whose edges meet draws one column and never uses its steps.
    if (width > 0.0) {
        dz = (edge2.z - edge1.z) / width;
        dl = (edge2.light - edge1.light) / width;
    }
    int64_t first;
    int64_t last;
    int64_t skipped = 0;  // columns before the screen edge, stepped over at once
    if (forward) {
        last = x2 >= SCREEN_WIDTH ? SCREEN_WIDTH - 1 : clamp_to_int64(x2);
        if (x1 < 0.0) {
            first = 0;
            skipped = clamp_to_int64(-x1);
        } else {
            first = clamp_to_int64(x1);
        }
        if (first > last) return;
    } else {
        last = x2 < 0.0 ? 0 : clamp_to_int64(x2);
        if (x1 >= SCREEN_WIDTH) {
            first = SCREEN_WIDTH - 1;
            skipped = clamp_to_int64(x1) - (SCREEN_WIDTH - 1);
        } else {
            first = clamp_to_int64(x1);
        }
        if (first < last) return;
    }

    Span& span = w->spans[w->span_count];
    span.y = y;
    span.forward = forward;
    span.first = first;
    span.count = (forward ? last - first : first - last) + 1;
    span.dz = dz;
    span.dr = clamp_to_int32(w->red16 * dl);
    span.dg = clamp_to_int32(w->green16 * dl);
    span.db = clamp_to_int32(w->blue16 * dl);
    span.z = edge1.z;
    if (skipped > 0) span.z += static_cast<double>(skipped) * dz;
    span.r = advance_channel(clamp_to_int32(w->red16 * edge1.light), skipped, span.dr);
    span.g = advance_channel(clamp_to_int32(w->green16 * edge1.light), skipped, span.dg);
    span.b = advance_channel(clamp_to_int32(w->blue16 * edge1.light), skipped, span.db);
    span.in_table = channel_in_table(span.r, span.count - 1, span.dr) &&
                    channel_in_table(span.g, span.count - 1, span.dg) &&
                    channel_in_table(span.b, span.count - 1, span.db);
    if (span.count < short_span) draw_short_span(span);
    else if (++w->span_count == span_group) draw_spans(w);
}

// Walks the rows [y_begin, y_end) of one band, setting up the walker's own rows from
// first_row to the bottom of the screen. False once the band has run past the bottom:
// nothing below can be drawn.
static bool walk_band(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row)
{
    if (y_begin >= y_end) return true;
    int64_t y = y_begin;
    if (y < first_row) {
        int64_t rows = std::min(y_end, first_row) - y;
        skip_rows(w, rows);
        y += rows;
    }
    for (; y < y_end && y < SCREEN_HEIGHT; y++) {
        if ((y & w->row_mask) == w->row_phase) add_span(w, static_cast<int>(y));
        step_edges(w);
    }
    return y_end <= SCREEN_HEIGHT;
}

static void fill_solid(Walker* w, const uint8_t* rgb)
{
    w->red16 = rgb[0] * 65536.0;
    w->green16 = rgb[1] * 65536.0;
    w->blue16 = rgb[2] * 65536.0;
    const Corner* top = w->top;
    const Corner* second = w->second;
    const Corner* third = w->third;
    const Corner* bottom = w->bottom;

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
    w->span_count = 0;
    start_edge(&w->edge1, top, second);
    start_edge(&w->edge2, top, same_side ? bottom : third);
    if (walk_band(w, top->y, second->y, 0)) {
        start_edge(&w->edge1, second, same_side ? third : bottom);
        if (walk_band(w, second->y, third->y, 1)) {
            if (same_side) start_edge(&w->edge1, third, bottom);
            else start_edge(&w->edge2, third, bottom);
            walk_band(w, third->y, bottom->y, 1);
        }
    }
    draw_spans(w);
}

static void load_corners(Walker* w, const int32_t* v, const double* lights)
{
    for (int i = 0; i < 4; i++) w->corners[i] = {v[3 * i], v[3 * i + 1], v[3 * i + 2], lights[i]};
    sort_corners(w);
}

void fill_face_rows(const int32_t* corners, const uint8_t* rgb, const double* lights, int row_phase, int row_step)
{
    if (!valid_row_phase(row_phase, row_step)) return;
    Walker* w = &walkers[row_phase];
    w->row_phase = row_phase;
    w->row_mask = row_step - 1;
    load_corners(w, corners, lights);
    fill_solid(w, rgb);
}

void fill_polygon(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1,
                  int32_t x2, int32_t y2, int32_t z2, int32_t x3, int32_t y3, int32_t z3,
                  const uint8_t* rgb, double light0, double light1, double light2, double light3)
{
    const int32_t v[12] = {x0, y0, z0, x1, y1, z1, x2, y2, z2, x3, y3, z3};
    const double lights[4] = {light0, light1, light2, light3};
    if (debug_flags & DEBUG_SOLID) {
        fill_face_rows(v, rgb, lights, 0, 1);
    } else {
        Walker* w = &walkers[0];
        load_corners(w, v, lights);
        draw_outline(w, rgb);
    }
}

// Minor-axis steps the Bresenham walk has taken after n steps along the major axis.
// Its error term stays within (-dec, 0], so the count has this closed form.
static int64_t minor_steps(int64_t n, int64_t inc, int64_t length, int64_t dec)
{
    if (dec == 0) return 0;
    __int128 excess = static_cast<__int128>(n) * inc - length;
    if (excess <= 0) return 0;
    return static_cast<int64_t>((excess + dec - 1) / dec);
}

// The Bresenham walk shared by both walkers, along the major axis u (x for shallow
// lines, y for steep ones) with the minor axis v, from (ua, va) to (ub, vb), ua <= ub.
// Off-screen steps before the first visible pixel are skipped in closed form; drawing
// stops at the first pixel that leaves the screen.
static void walk_line(int64_t ua, int64_t va, int64_t ub, int64_t vb, uint8_t colour, bool steep)
{
    const int64_t u_limit = steep ? SCREEN_HEIGHT : SCREEN_WIDTH;
    const int64_t v_limit = steep ? SCREEN_WIDTH : SCREEN_HEIGHT;
    int64_t step;
    int64_t inc;
    if (vb >= va) {
        step = 1;
        inc = 2 * (vb - va);
    } else {
        step = -1;
        inc = 2 * (va - vb);
    }
    const int64_t length = ub - ua;
    const int64_t dec = 2 * length;

    // First step at which the pixel is on the screen's side of u = 0 and its v is on
    // screen; v moves by at most one per step, monotonically.
    int64_t n = ua < 0 ? -ua : 0;
    if (n > length) return;
    int64_t k = minor_steps(n, inc, length, dec);
    int64_t v = va + step * k;
    if (v < 0 || v >= v_limit) {
        int64_t needed;
        if (step > 0 && v < 0) needed = -va;
        else if (step < 0 && v >= v_limit) needed = va - (v_limit - 1);
        else return;  // moving away from the screen
        if (inc == 0) return;
        // The first n with minor_steps(n) >= needed.
        __int128 first = (static_cast<__int128>(needed - 1) * dec + length) / inc + 1;
        if (first > length) return;
        n = static_cast<int64_t>(first);
        k = minor_steps(n, inc, length, dec);
        v = va + step * k;
    }
    int64_t error = static_cast<int64_t>(-static_cast<__int128>(length) + static_cast<__int128>(n) * inc -
                                         static_cast<__int128>(k) * dec);
    int64_t u = ua + n;
    uint8_t* frame = frame_buffer;
    while (u <= ub && u < u_limit && v >= 0 && v < v_limit) {
        if (steep) frame[u * SCREEN_WIDTH + v] = colour;
        else frame[v * SCREEN_WIDTH + u] = colour;
        error += inc;
        if (error > 0) {
            v += step;
            error -= dec;
        }
        u++;
    }
}

static void draw_line_shallow(int64_t xa, int64_t ya, int64_t xb, int64_t yb, uint8_t colour)
{
    walk_line(xa, ya, xb, yb, colour, false);
}

static void draw_line_steep(int64_t xa, int64_t ya, int64_t xb, int64_t yb, uint8_t colour)
{
    walk_line(ya, xa, yb, xb, colour, true);
}

void draw_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int colour)
{
    // In 64 bits: differences of 32-bit ends need 33, and |dx| < |dy| is dx*dx < dy*dy.
    int64_t dx = static_cast<int64_t>(x1) - x0;
    int64_t dy = static_cast<int64_t>(y1) - y0;
    uint8_t index = static_cast<uint8_t>(colour & 0xFF);
    if ((dx < 0 ? -dx : dx) < (dy < 0 ? -dy : dy)) {
        if (y0 < y1) draw_line_steep(x0, y0, x1, y1, index);
        else draw_line_steep(x1, y1, x0, y0, index);
    } else {
        if (x0 < x1) draw_line_shallow(x0, y0, x1, y1, index);
        else draw_line_shallow(x1, y1, x0, y0, index);
    }
}
