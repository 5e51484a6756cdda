// Span set-up: a face's row clipped to the screen, its depths and colour channels readied for the pixel loops.
#include "render/spans.h"

#include <algorithm>

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/depth_floors.h"
#include "render/depth_steps.h"
#include "render/pixel_loops.h"
#include "world/numeric.h"

// The columns of a span on the screen, from first (edge1's end) to last, both included.
struct SpanColumns {
    bool forward;  // edge1 lies left of edge2: first is the leftmost column
    int64_t first, last, count, leftmost;
    int64_t skipped;  // columns beyond the screen edge before first, stepped over at once
};

// Clips the span from x1 toward x2 to the screen; false when none of it lies on it.
static inline bool clip_span(double x1, double x2, SpanColumns* c)
{
    c->forward = x1 <= x2;
    c->skipped = 0;
    if (c->forward) {
        c->last = x2 >= SCREEN_WIDTH ? SCREEN_WIDTH - 1 : clamp_to_int64(x2);
        if (x1 < 0.0) {
            c->first = 0;
            c->skipped = clamp_to_int64(-x1);
        } else {
            c->first = clamp_to_int64(x1);
        }
        if (c->first > c->last) return false;
    } else {
        c->last = x2 < 0.0 ? 0 : clamp_to_int64(x2);
        if (x1 >= SCREEN_WIDTH) {
            c->first = SCREEN_WIDTH - 1;
            c->skipped = clamp_to_int64(x1) - (SCREEN_WIDTH - 1);
        } else {
            c->first = clamp_to_int64(x1);
        }
        if (c->first < c->last) return false;
    }
    c->count = (c->forward ? c->last - c->first : c->first - c->last) + 1;
    c->leftmost = c->forward ? c->first : c->first - (c->count - 1);
    return true;
}

// Channel values are 16.16 fixed point; 64-bit accumulators cannot overflow over one
// span once the start is kept within +-2^62 (steps are 32-bit, spans at most 640 long).
constexpr int64_t channel_limit = int64_t{1} << 62;
constexpr int64_t channel_top = (int64_t{256} << 16) - 1;  // integer part 255

static int64_t advance_channel(int32_t start, int64_t steps, int32_t step)
{
    if (steps == 0) return start;
    __int128 value = static_cast<__int128>(start) + static_cast<__int128>(steps) * step;
    if (value > channel_limit) return channel_limit;
    if (value < -channel_limit) return -channel_limit;
    return static_cast<int64_t>(value);
}

// Whether a span's channel values, from start to end, all lie within the dither tables.
static bool channel_in_table(int64_t start, int64_t end)
{
    return (static_cast<uint64_t>(start) <= channel_top) & (static_cast<uint64_t>(end) <= channel_top);
}

// clamp_to_int32 of two values at once, with the same results: NaN gives 0, values
// beyond the 32-bit range its ends, the rest truncated toward zero.
static inline void clamp_two_to_int32(double a, double b, int32_t* a_out, int32_t* b_out)
{
#if defined(__wasm_simd128__)
    // WebAssembly's saturating conversion is this rule itself (its SSE2 stand-in is scalar).
    v128_t values = wasm_i32x4_trunc_sat_f64x2_zero(wasm_f64x2_make(a, b));
    *a_out = wasm_i32x4_extract_lane(values, 0);
    *b_out = wasm_i32x4_extract_lane(values, 1);
#elif defined(__SSE2__)
    __m128d v = _mm_set_pd(b, a);
    v = _mm_and_pd(v, _mm_cmpord_pd(v, v));  // NaN lanes become 0
    v = _mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-2147483648.0)), _mm_set1_pd(2147483647.0));
    __m128i values = _mm_cvttpd_epi32(v);
    *a_out = _mm_cvtsi128_si32(values);
    *b_out = _mm_cvtsi128_si32(_mm_shuffle_epi32(values, 1));
#else
    *a_out = clamp_to_int32(a);
    *b_out = clamp_to_int32(b);
#endif
}

// The span's channels, 16.16, at its leftmost column and their change per column (the
// light dl per column along it, from edge1's light); whether they all stay within the
// dither tables.
static inline bool set_up_channels(const Walker* w, const SpanColumns& c, double dl, RowWalk* s)
{
    const double light = w->edge1.light;
    int32_t steps[3], starts[3];
    clamp_two_to_int32(w->red16 * dl, w->green16 * dl, &steps[0], &steps[1]);
    clamp_two_to_int32(w->blue16 * dl, w->red16 * light, &steps[2], &starts[0]);
    clamp_two_to_int32(w->green16 * light, w->blue16 * light, &starts[1], &starts[2]);
    bool in_table = true;
    for (int k = 0; k < 3; k++) {
        const int32_t step = steps[k];
        const int64_t start = c.skipped > 0 ? advance_channel(starts[k], c.skipped, step) : starts[k];
        const int64_t end = start + (c.count - 1) * step;
        in_table &= channel_in_table(start, end);
        s->channel[k] = c.forward ? start : end;
        s->step[k] = c.forward ? step : -static_cast<int64_t>(step);
    }
    return in_table;
}

template <bool Wide, bool TiesWin>
static inline void draw_pixels(const RowWalk& s, bool in_table)
{
    if (in_table) walk_span<Wide, TiesWin>(s);
    else draw_span_scalar<TiesWin>(s);
}

// The span's depths, z at its first column and dz added per column, in exact runs (see
// exact_depth_steps), almost always one for the whole span; each run is drawn as a span
// of its own, its depths linear.
template <bool Wide, bool TiesWin>
static inline void draw_runs(RowWalk& s, bool forward, double z, double dz, bool in_table)
{
    const int64_t count = s.count;
    double run_step = 0.0;
    if (count == 1 || exact_depth_steps(z, dz, count - 1, &run_step) == count - 1) {
        const double last_z = count > 1 ? z + static_cast<double>(count - 1) * run_step : z;
        s.left = forward ? z : last_z;
        s.depth_step = forward ? run_step : -run_step;
        draw_pixels<Wide, TiesWin>(s, in_table);
        return;
    }
    for_each_depth_run(z, dz, count, [&](int64_t i, int64_t n, double first_z, double last_z, double step) {
        const int64_t offset = forward ? i : count - 1 - i - n;  // from the span's leftmost column
        RowWalk run = s;
        run.count = n + 1;
        run.leftmost = s.leftmost + offset;
        for (int k = 0; k < 3; k++) run.channel[k] = s.channel[k] + offset * s.step[k];
        run.depth = s.depth + offset;
        run.frame = s.frame + offset;
        run.left = forward ? first_z : last_z;
        run.depth_step = forward ? step : -step;
        draw_pixels<Wide, TiesWin>(run, in_table);
    });
}

// Sets up row y from edge1 toward edge2, both ends included, clipped to the screen, and
// draws it; with floors kept, passes over it where it lies wholly below them.
template <bool Wide, bool TiesWin>
static inline void add_span(const Walker* w, int y, bool floors)
{
    const Edge& edge1 = w->edge1;
    const Edge& edge2 = w->edge2;
    SpanColumns c;
    if (!clip_span(edge1.x, edge2.x, &c)) return;
    // Depth and light per column. A span whose edges meet draws one column and never
    // uses its steps.
    const double width = c.forward ? edge2.x - edge1.x : edge1.x - edge2.x;
    double dz = 0.0;
    double dl = 0.0;
    if (width > 0.0) {
        dz = (edge2.z - edge1.z) / width;
        dl = (edge2.light - edge1.light) / width;
    }
    double z = edge1.z;
    if (c.skipped > 0) z += static_cast<double>(c.skipped) * dz;
    if (floors && hidden_by_floors<TiesWin>(y, c.leftmost, c.count, z, dz)) return;

    RowWalk s;
    s.row_parity = y & 1;
    s.count = c.count;
    s.leftmost = c.leftmost;
    const bool in_table = set_up_channels(w, c, dl, &s);
    const int64_t at = static_cast<int64_t>(y) * SCREEN_WIDTH + c.leftmost;
    s.depth = depth_buffer + at;
    s.frame = frame_buffer + at;
    // The depths two rows down are mostly the next of this walker's rows to be drawn, at
    // about the same columns: asked for now, they are in the cache by then.
    if (y + 2 < SCREEN_HEIGHT) {
        const double* below = s.depth + 2 * SCREEN_WIDTH;
        for (int64_t p = 0; p < c.count; p += 16) __builtin_prefetch(below + p, 1, 3);
    }
    draw_runs<Wide, TiesWin>(s, c.forward, z, dz, in_table);
    if (floors) raise_floors(y, c.first, c.leftmost, c.count, c.forward, z, dz);
}

template <bool Wide, bool TiesWin>
static inline bool walk_rows(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row)
{
    if (y_begin >= y_end) return true;
    const bool floors = depth_floors_kept(w->row_phase);
    int64_t y = y_begin;
    if (y < first_row) {
        int64_t rows = std::min(y_end, first_row) - y;
        skip_rows(w, rows);
        y += rows;
    }
    for (; y < y_end && y < SCREEN_HEIGHT; y++) {
        if ((y & w->row_mask) == w->row_phase) add_span<Wide, TiesWin>(w, static_cast<int>(y), floors);
        step_edges(w);
    }
    return y_end <= SCREEN_HEIGHT;
}

// The rows compiled for each depth test, the span set-up and the pixel loops in one piece
// each time: for processors with 256-bit vectors and for the others.
#if defined(MAZE_HAS_AVX2_PATH)
template <bool TiesWin>
__attribute__((target("avx2"), flatten)) static bool walk_rows_wide(Walker* w, int64_t y_begin, int64_t y_end,
                                                                   int64_t first_row)
{
    return walk_rows<true, TiesWin>(w, y_begin, y_end, first_row);
}
#endif
template <bool TiesWin>
__attribute__((flatten)) static bool walk_rows_narrow(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row)
{
    return walk_rows<false, TiesWin>(w, y_begin, y_end, first_row);
}

template <bool TiesWin>
bool walk_band(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row)
{
#if defined(MAZE_HAS_AVX2_PATH)
    if (wide_vectors_in_use()) return walk_rows_wide<TiesWin>(w, y_begin, y_end, first_row);
#endif
    return walk_rows_narrow<TiesWin>(w, y_begin, y_end, first_row);
}

template bool walk_band<false>(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row);
template bool walk_band<true>(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row);
