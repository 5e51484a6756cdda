#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/depth_steps.h"
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

// Everything one fill works on. Each row phase has its own, so that the phases of one
// face can be drawn at the same time on different threads, on cache lines of its own.
struct alignas(64) Walker {
    Corner corners[4];
    Corner* top;
    Corner* second;
    Corner* third;
    Corner* bottom;
    Edge edge1;  // spans start here
    Edge edge2;  // and run toward here
    double red16, green16, blue16;  // the face colour, intensity * 65536
    int row_phase, row_mask;        // the rows drawn: (y & row_mask) == row_phase
    bool floors;                    // depth_floors are kept for these rows
};

static Walker walkers[max_row_phases];

// Per row and tile of 64 columns, a depth no pixel of the tile lies below, while a frame
// is drawn nearest first: a span whose depths all lie below its tiles' floors cannot pass
// and is not set up. After a row's tiles comes the highest of them. Rows are 128 bytes
// apart, so that threads drawing different rows never share a line.
constexpr int floor_tile_shift = 6;
constexpr int floor_tiles = SCREEN_WIDTH >> floor_tile_shift;
constexpr int highest_floor = floor_tiles;
constexpr int floor_stride = 16;
static_assert(highest_floor < floor_stride && floor_stride % 8 == 0);
alignas(64) static double depth_floors[SCREEN_HEIGHT][floor_stride];

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

// Rows skipped one addition at a time: cheaper than working out the runs.
constexpr int64_t few_rows = 32;

// Moves both edges past rows that are not drawn. Up to edge_skip_by_steps_limit rows
// each value is what adding its step row by row gives, exactly as drawing them would;
// corners near the eye plane can put an edge billions of rows away, and beyond the limit
// one multiplication advances it, which may differ from the sum of steps in the last
// bits only.
static void skip_rows(Walker* w, int64_t rows)
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

static int clamp_intensity(int64_t channel)
{
    int64_t v = channel >> 16;
    return static_cast<int>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A clipped span as its pixel loops see it: left to right whichever way it was set up.
// Pixel i of the span is column first + i or first - i; each pixel gets the same depth
// and channel values either way, and its colour depends on nothing else.
struct RowWalk {
    int row_parity;
    int64_t count;
    int64_t leftmost;
    int64_t channel[3];  // red, green, blue at the leftmost column
    int64_t step[3];     // and their change per column, exact integers
    double* depth;       // the row's depth and frame from the leftmost column on
    uint8_t* frame;
    double left, depth_step;  // the depth at column j is left + j * depth_step, exactly
};

// The palette index of channel values within the tables at dither position k.
static inline uint8_t table_colour(const int64_t* v, int k)
{
    return static_cast<uint8_t>(dither_red_by_position[k][v[0] >> 16] + dither_blue_by_position[k][v[2] >> 16] +
                                dither_green_by_position[k][v[1] >> 16]);
}

// The pixel loop of a span whose channels may leave the tables and whose depths are one
// exact run: each channel clamped into them, one pixel at a time (such spans are rare).
template <bool TiesWin>
static void walk_span_clamped(const RowWalk& s)
{
    int64_t v[3] = {s.channel[0], s.channel[1], s.channel[2]};
    for (int64_t j = 0; j < s.count; j++) {
        const double z = j == 0 ? s.left : s.left + static_cast<double>(j) * s.depth_step;
        if (TiesWin ? s.depth[j] <= z : s.depth[j] < z) {
            s.depth[j] = z;
            const int64_t clamped[3] = {int64_t{clamp_intensity(v[0])} << 16, int64_t{clamp_intensity(v[1])} << 16,
                                        int64_t{clamp_intensity(v[2])} << 16};
            s.frame[j] = table_colour(clamped, 2 * static_cast<int>((s.leftmost + j) & 1) + s.row_parity);
        }
        for (int c = 0; c < 3; c++) v[c] += s.step[c];
    }
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

static inline void write_eight(uint8_t* frame, unsigned passed, uint64_t colours)
{
    if (passed == 0xFF) {  // the common case inside a face drawn over what is behind it
        std::memcpy(frame, &colours, 8);
        return;
    }
    uint64_t select = byte_masks.of[passed];
    uint64_t pixels;
    std::memcpy(&pixels, frame, 8);
    pixels = (pixels & ~select) | (colours & select);
    std::memcpy(frame, &pixels, 8);
}

// The eight-column loops below draw a span's columns eight at a time and return how many
// they drew: all of them, or those before a last group that would pass the row's end.
// The depth test keeps the maximum, which is the new depth exactly where the test passes
// (depths are never NaN). A group where no test passes is left as it is; the colours of
// the others, the dither rule (see dithered_level) on 16-bit lanes, are worked out and
// written through a mask. The last group may reach past the span's end but not past its
// row: the row belongs to this walker alone, and what lies beyond the span is written
// back as it was, its new depths never passing.
// Linear depths: each group's are the previous group's plus 8 * step, exactly.

// The dither thresholds of a column and of the next (columns alternate) as one 32-bit
// pair, low half first, by the dither position k of the first.
constexpr uint32_t threshold_pair(int k)
{
    return static_cast<uint32_t>(dither_threshold[k]) | static_cast<uint32_t>(dither_threshold[k ^ 2]) << 16;
}
constexpr uint32_t threshold_pairs[4] = {threshold_pair(0), threshold_pair(1), threshold_pair(2), threshold_pair(3)};
// The same pair with each threshold twice (a column's red and green share its 32 bits).
constexpr uint64_t threshold_quad(int k)
{
    const uint64_t first = static_cast<uint64_t>(dither_threshold[k]), second = static_cast<uint64_t>(dither_threshold[k ^ 2]);
    return first | first << 16 | second << 32 | second << 48;
}
constexpr uint64_t threshold_quads[4] = {threshold_quad(0), threshold_quad(1), threshold_quad(2), threshold_quad(3)};

// The dither position of a span's leftmost column.
static inline int span_dither_position(const RowWalk& s)
{
    return 2 * static_cast<int>(s.leftmost & 1) + s.row_parity;
}

#if defined(__SSE2__)
template <bool TiesWin>
static int64_t draw_groups_sse2(const RowWalk& g)
{
    const int64_t count = g.count;
    double* const depth = g.depth;
    uint8_t* const frame = g.frame;
    const __m128i thresholds = _mm_set1_epi32(static_cast<int>(threshold_pairs[span_dither_position(g)]));
    const __m128i scale[3] = {_mm_set1_epi16(red_scale), _mm_set1_epi16(green_blue_scale),
                              _mm_set1_epi16(green_blue_scale)};
    __m128i low[3], high[3], eight_steps[3];
    for (int c = 0; c < 3; c++) {
        uint32_t v = static_cast<uint32_t>(g.channel[c]), d = static_cast<uint32_t>(g.step[c]);
        low[c] = _mm_setr_epi32(static_cast<int>(v), static_cast<int>(v + d), static_cast<int>(v + 2 * d),
                                static_cast<int>(v + 3 * d));
        high[c] = _mm_add_epi32(low[c], _mm_set1_epi32(static_cast<int>(4 * d)));
        eight_steps[c] = _mm_set1_epi32(static_cast<int>(8 * d));
    }
    const double left = g.left, step = g.depth_step;
    const __m128d eight_depth_steps = _mm_set1_pd(8.0 * step);
    __m128d z[4] = {_mm_set_pd(left + step, left), _mm_set_pd(left + 3.0 * step, left + 2.0 * step),
                    _mm_set_pd(left + 5.0 * step, left + 4.0 * step), _mm_set_pd(left + 7.0 * step, left + 6.0 * step)};
    int64_t j = 0;
    for (;;) {
        if (j + 8 > count) {
            if (j == count || j + 8 > SCREEN_WIDTH - g.leftmost) return j;
            // The last group: columns past the span's end get a depth that never passes.
            const __m128d columns = _mm_set1_pd(static_cast<double>(count - j));
            const __m128d never = _mm_set1_pd(-HUGE_VAL);
            for (int q = 0; q < 4; q++) {
                __m128d inside = _mm_cmplt_pd(_mm_set_pd(2.0 * q + 1, 2.0 * q), columns);
                z[q] = _mm_or_pd(_mm_and_pd(inside, z[q]), _mm_andnot_pd(inside, never));
            }
        }
        unsigned passed = 0;
        __m128d old[4];
        for (int q = 0; q < 4; q++) {
            old[q] = _mm_loadu_pd(depth + j + 2 * q);
            const __m128d pass = TiesWin ? _mm_cmple_pd(old[q], z[q]) : _mm_cmplt_pd(old[q], z[q]);
            passed |= static_cast<unsigned>(_mm_movemask_pd(pass)) << (2 * q);
        }
        if (passed != 0) {
            // Of two equal depths the maximum is its second operand: the new one where ties win.
            for (int q = 0; q < 4; q++) {
                _mm_storeu_pd(depth + j + 2 * q, TiesWin ? _mm_max_pd(old[q], z[q]) : _mm_max_pd(z[q], old[q]));
            }
            __m128i level[3];
            for (int c = 0; c < 3; c++) {
                __m128i v = _mm_packs_epi32(_mm_srli_epi32(low[c], 16), _mm_srli_epi32(high[c], 16));
                level[c] = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(v, scale[c]), thresholds), 8);
            }
            __m128i index = _mm_add_epi16(level[0], _mm_add_epi16(_mm_mullo_epi16(level[2], _mm_set1_epi16(7)),
                                                                  _mm_mullo_epi16(level[1], _mm_set1_epi16(42))));
            write_eight(frame + j, passed, static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(index, index))));
        }
        j += 8;
        if (j >= count) return count;
        for (int c = 0; c < 3; c++) {
            low[c] = _mm_add_epi32(low[c], eight_steps[c]);
            high[c] = _mm_add_epi32(high[c], eight_steps[c]);
        }
        for (int q = 0; q < 4; q++) z[q] = _mm_add_pd(z[q], eight_depth_steps);
    }
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define MAZE_HAS_AVX2_PATH 1
// The same with 256-bit vectors, on processors that have them: four depths and eight
// channel values to a register. A column's red and green levels share its 32-bit lane
// (red low, green high), so that one multiply-add weighs them; blue has a register of its
// own, its high halves zero.
// One group of eight columns from column j (see draw_groups_avx2).
struct WideGroup {
    __m256i thresholds, red_green_scale, red_green_weight, blue_scale, blue_weight, first_bytes, first_of_lanes;
};

template <bool TiesWin>
__attribute__((target("avx2"), always_inline)) static inline void draw_group_avx2(double* depth, uint8_t* frame,
                                                                                  __m256d z_low, __m256d z_high,
                                                                                  const __m256i* channel,
                                                                                  const WideGroup& k)
{
    __m256d old_low = _mm256_loadu_pd(depth);
    __m256d old_high = _mm256_loadu_pd(depth + 4);
    constexpr int test = TiesWin ? _CMP_LE_OQ : _CMP_LT_OQ;
    unsigned passed = static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(old_low, z_low, test))) |
                      static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(old_high, z_high, test))) << 4;
    if (passed == 0) return;  // hidden behind what is drawn: nothing changes
    // Of two equal depths the maximum is its second operand: the new one where ties win.
    _mm256_storeu_pd(depth, TiesWin ? _mm256_max_pd(old_low, z_low) : _mm256_max_pd(z_low, old_low));
    _mm256_storeu_pd(depth + 4, TiesWin ? _mm256_max_pd(old_high, z_high) : _mm256_max_pd(z_high, old_high));
    // Green's whole part already lies in the high half of its lane.
    __m256i red_green = _mm256_blend_epi16(_mm256_srli_epi32(channel[0], 16), channel[1], 0xAA);
    __m256i blue = _mm256_srli_epi32(channel[2], 16);
    red_green = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(red_green, k.red_green_scale), k.thresholds), 8);
    // The high halves stay zero: thresholds are below 256.
    blue = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(blue, k.blue_scale), k.thresholds), 8);
    __m256i index = _mm256_add_epi32(_mm256_madd_epi16(red_green, k.red_green_weight), _mm256_madd_epi16(blue, k.blue_weight));
    // Each index is the first byte of its lane: four to the start of each 128-bit half,
    // then the two halves brought together.
    __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(index, k.first_bytes), k.first_of_lanes);
    write_eight(frame, passed, static_cast<uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(bytes))));
}

template <bool TiesWin>
__attribute__((target("avx2"))) static int64_t draw_groups_avx2(const RowWalk& g)
{
    const int64_t count = g.count;
    double* const depth = g.depth;
    uint8_t* const frame = g.frame;
    WideGroup k;
    k.thresholds = _mm256_set1_epi64x(static_cast<int64_t>(threshold_quads[span_dither_position(g)]));
    k.red_green_scale = _mm256_set1_epi32(red_scale | green_blue_scale << 16);
    k.red_green_weight = _mm256_set1_epi32(1 | 42 << 16);
    k.blue_scale = _mm256_set1_epi32(green_blue_scale);
    k.blue_weight = _mm256_set1_epi32(7);
    k.first_bytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12, -1, -1,
                                     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    k.first_of_lanes = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i channel[3], eight_steps[3];
    for (int c = 0; c < 3; c++) {
        const __m256i step = _mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(g.step[c])));
        channel[c] = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(g.channel[c]))),
                                      _mm256_mullo_epi32(lanes, step));
        eight_steps[c] = _mm256_slli_epi32(step, 3);
    }
    // left + t * step for t = 0 .. 7, each product and sum exact; the first is left itself
    // (-0 + 0 would be +0).
    const __m256d left = _mm256_set1_pd(g.left), step = _mm256_set1_pd(g.depth_step);
    const __m256d eight_depth_steps = _mm256_set1_pd(8.0 * g.depth_step);
    __m256d z_low = _mm256_blend_pd(_mm256_add_pd(left, _mm256_mul_pd(step, _mm256_setr_pd(0, 1, 2, 3))), left, 0x1);
    __m256d z_high = _mm256_add_pd(left, _mm256_mul_pd(step, _mm256_setr_pd(4, 5, 6, 7)));

    int64_t j = 0;
    for (; j + 8 <= count; j += 8) {
        draw_group_avx2<TiesWin>(depth + j, frame + j, z_low, z_high, channel, k);
        for (int c = 0; c < 3; c++) channel[c] = _mm256_add_epi32(channel[c], eight_steps[c]);
        z_low = _mm256_add_pd(z_low, eight_depth_steps);
        z_high = _mm256_add_pd(z_high, eight_depth_steps);
    }
    if (j == count || j + 8 > SCREEN_WIDTH - g.leftmost) return j;
    // The last group: columns past the span's end get a depth that never passes.
    const __m256d columns = _mm256_set1_pd(static_cast<double>(count - j));
    const __m256d never = _mm256_set1_pd(-HUGE_VAL);
    z_low = _mm256_blendv_pd(never, z_low, _mm256_cmp_pd(_mm256_setr_pd(0, 1, 2, 3), columns, _CMP_LT_OQ));
    z_high = _mm256_blendv_pd(never, z_high, _mm256_cmp_pd(_mm256_setr_pd(4, 5, 6, 7), columns, _CMP_LT_OQ));
    draw_group_avx2<TiesWin>(depth + j, frame + j, z_low, z_high, channel, k);
    return count;
}

// Detected before main; __builtin_cpu_init makes the detection independent of the order
// in which static initialisers run.
static bool use_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#endif

void keep_depth_floors(int row_phase, int row_step, bool keep)
{
    if (!valid_row_phase(row_phase, row_step)) return;
    walkers[row_phase].floors = keep;
    if (!keep) return;
    for (int y = row_phase; y < SCREEN_HEIGHT; y += row_step) {
        std::fill(depth_floors[y], depth_floors[y] + floor_stride, -HUGE_VAL);
    }
}

bool set_wide_vectors(bool wide)
{
#if defined(MAZE_HAS_AVX2_PATH)
    use_avx2 = wide && (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return use_avx2;
#else
    (void)wide;
    return false;
#endif
}

// The pixel loop of a span whose channels stay within the tables and whose depths are one
// exact run: eight columns at a time where the processor allows, the rest one at a time.
template <bool Wide, bool TiesWin>
static inline void walk_span(const RowWalk& s)
{
    int64_t j = 0;
#if defined(MAZE_HAS_AVX2_PATH)
    j = Wide ? draw_groups_avx2<TiesWin>(s) : draw_groups_sse2<TiesWin>(s);
#elif defined(__SSE2__)
    j = draw_groups_sse2<TiesWin>(s);
#endif
    for (; j < s.count; j++) {
        double z = j == 0 ? s.left : s.left + static_cast<double>(j) * s.depth_step;
        if (TiesWin ? s.depth[j] <= z : s.depth[j] < z) {
            s.depth[j] = z;
            int64_t v[3];
            for (int c = 0; c < 3; c++) v[c] = s.channel[c] + j * s.step[c];
            s.frame[j] = table_colour(v, 2 * static_cast<int>((s.leftmost + j) & 1) + s.row_parity);
        }
    }
}

// clamp_to_int32 of two values at once, with the same results: NaN gives 0, values
// beyond the 32-bit range its ends, the rest truncated toward zero.
static inline void clamp_two_to_int32(double a, double b, int32_t* a_out, int32_t* b_out)
{
#if defined(__SSE2__)
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

// Whether a span's depths, z and then dz added count - 1 times, all lie below the floors
// of its tiles (or at them, unless ties win), so that no test can pass.
template <bool TiesWin>
static bool hidden_by_floors(int y, int64_t leftmost, int64_t count, double z, double dz)
{
    const double* floors = depth_floors[y];
    const double reach = static_cast<double>(count - 1) * dz;
    const double z_last = z + reach;
    if (std::max(z, z_last) > floors[highest_floor]) return false;  // the common case
    // Each depth strays from z + k dz by less than 2^-43 of the largest magnitude on the
    // way (at most 639 roundings of half an ulp): the margin is eight times that.
    const double margin = (std::fabs(z) + std::fabs(reach)) * 0x1p-40;
    const double highest = std::max(z, z_last) + margin;  // NaN or infinite: never hidden
    const int64_t last_column = leftmost + count - 1;
    double lowest = floors[leftmost >> floor_tile_shift];
    for (int64_t t = (leftmost >> floor_tile_shift) + 1; t <= last_column >> floor_tile_shift; t++) {
        lowest = std::min(lowest, floors[t]);
    }
    return TiesWin ? highest < lowest : highest <= lowest;
}

// After a span is drawn: the floors of the tiles it covers whole are raised to its depths
// there (less the margin above), which no pixel of theirs now lies below.
static void raise_floors(int y, int64_t first, int64_t leftmost, int64_t count, bool forward, double z, double dz)
{
    constexpr int64_t tile = int64_t{1} << floor_tile_shift;
    if (count < tile) return;
    double* floors = depth_floors[y];
    const double margin = (std::fabs(z) + std::fabs(static_cast<double>(count - 1) * dz)) * 0x1p-40;
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

// Sets up row y from edge1 toward edge2, both ends included, clipped to the screen, and
// draws it.
template <bool Wide, bool TiesWin>
static inline void add_span(Walker* w, int y)
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
    const int64_t count = (forward ? last - first : first - last) + 1;
    double z = edge1.z;
    if (skipped > 0) z += static_cast<double>(skipped) * dz;
    const int64_t leftmost = forward ? first : first - (count - 1);
    if (w->floors && hidden_by_floors<TiesWin>(y, leftmost, count, z, dz)) return;
    // The channels' steps and starting values, 16.16.
    int32_t steps[3], starts[3];
    clamp_two_to_int32(w->red16 * dl, w->green16 * dl, &steps[0], &steps[1]);
    clamp_two_to_int32(w->blue16 * dl, w->red16 * edge1.light, &steps[2], &starts[0]);
    clamp_two_to_int32(w->green16 * edge1.light, w->blue16 * edge1.light, &starts[1], &starts[2]);
    RowWalk s;
    s.row_parity = y & 1;
    s.count = count;
    s.leftmost = leftmost;
    bool in_table = true;
    for (int c = 0; c < 3; c++) {
        const int32_t step = steps[c];
        const int64_t start = skipped > 0 ? advance_channel(starts[c], skipped, step) : starts[c];
        const int64_t end = start + (count - 1) * step;
        in_table &= channel_in_table(start, end);
        s.channel[c] = forward ? start : end;
        s.step[c] = forward ? step : -static_cast<int64_t>(step);
    }
    const int64_t row = static_cast<int64_t>(y) * SCREEN_WIDTH + s.leftmost;
    s.depth = depth_buffer + row;
    s.frame = frame_buffer + row;
    // The depths two rows down are mostly the next of this walker's rows to be drawn, at
    // about the same columns: asked for now, they are in the cache by then.
    if (y + 2 < SCREEN_HEIGHT) {
        const double* below = s.depth + 2 * SCREEN_WIDTH;
        for (int64_t p = 0; p < count; p += 16) __builtin_prefetch(below + p, 1, 3);
    }

    // The depths in exact runs (see exact_depth_steps), almost always one for the whole
    // span; each run is drawn as a span of its own, its depths linear.
    double run_step = 0.0;
    if (count == 1 || exact_depth_steps(z, dz, count - 1, &run_step) == count - 1) {
        const double last_z = count > 1 ? z + static_cast<double>(count - 1) * run_step : z;
        s.left = forward ? z : last_z;
        s.depth_step = forward ? run_step : -run_step;
        if (in_table) walk_span<Wide, TiesWin>(s);
        else walk_span_clamped<TiesWin>(s);
    } else {
        for_each_depth_run(z, dz, count, [&](int64_t i, int64_t n, double first_z, double last_z, double step) {
            const int64_t offset = forward ? i : count - 1 - i - n;  // from the span's leftmost column
            RowWalk run = s;
            run.count = n + 1;
            run.leftmost = s.leftmost + offset;
            for (int c = 0; c < 3; c++) run.channel[c] = s.channel[c] + offset * s.step[c];
            run.depth = s.depth + offset;
            run.frame = s.frame + offset;
            run.left = forward ? first_z : last_z;
            run.depth_step = forward ? step : -step;
            if (in_table) walk_span<Wide, TiesWin>(run);
            else walk_span_clamped<TiesWin>(run);
        });
    }
    if (w->floors) raise_floors(y, first, leftmost, count, forward, z, dz);
}

// Walks the rows [y_begin, y_end) of one band, setting up the walker's own rows from
// first_row to the bottom of the screen. False once the band has run past the bottom:
// nothing below can be drawn.
template <bool Wide, bool TiesWin>
static inline bool walk_band(Walker* w, int64_t y_begin, int64_t y_end, int64_t first_row)
{
    if (y_begin >= y_end) return true;
    int64_t y = y_begin;
    if (y < first_row) {
        int64_t rows = std::min(y_end, first_row) - y;
        skip_rows(w, rows);
        y += rows;
    }
    for (; y < y_end && y < SCREEN_HEIGHT; y++) {
        if ((y & w->row_mask) == w->row_phase) add_span<Wide, TiesWin>(w, static_cast<int>(y));
        step_edges(w);
    }
    return y_end <= SCREEN_HEIGHT;
}

template <bool Wide, bool TiesWin>
static inline void fill_solid(Walker* w, const uint8_t* rgb)
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
    start_edge(&w->edge1, top, second);
    start_edge(&w->edge2, top, same_side ? bottom : third);
    if (walk_band<Wide, TiesWin>(w, top->y, second->y, 0)) {
        start_edge(&w->edge1, second, same_side ? third : bottom);
        if (walk_band<Wide, TiesWin>(w, second->y, third->y, 1)) {
            if (same_side) start_edge(&w->edge1, third, bottom);
            else start_edge(&w->edge2, third, bottom);
            walk_band<Wide, TiesWin>(w, third->y, bottom->y, 1);
        }
    }
}

// The whole fill compiled for each depth test, the span set-up and the pixel loops in
// one piece each time: for processors with 256-bit vectors and for the others.
#if defined(MAZE_HAS_AVX2_PATH)
template <bool TiesWin>
__attribute__((target("avx2"), flatten)) static void fill_solid_wide(Walker* w, const uint8_t* rgb)
{
    fill_solid<true, TiesWin>(w, rgb);
}
#endif
template <bool TiesWin>
__attribute__((flatten)) static void fill_solid_narrow(Walker* w, const uint8_t* rgb)
{
    fill_solid<false, TiesWin>(w, rgb);
}

static void load_corners(Walker* w, const int32_t* v, const double* lights)
{
    for (int i = 0; i < 4; i++) w->corners[i] = {v[3 * i], v[3 * i + 1], v[3 * i + 2], lights[i]};
    sort_corners(w);
}

void fill_face_rows(const int32_t* corners, const uint8_t* rgb, const double* lights, int row_phase, int row_step,
                    bool ties_win)
{
    if (!valid_row_phase(row_phase, row_step)) return;
    Walker* w = &walkers[row_phase];
    w->row_phase = row_phase;
    w->row_mask = row_step - 1;
    load_corners(w, corners, lights);
#if defined(MAZE_HAS_AVX2_PATH)
    if (use_avx2) {
        if (ties_win) fill_solid_wide<true>(w, rgb);
        else fill_solid_wide<false>(w, rgb);
        return;
    }
#endif
    if (ties_win) fill_solid_narrow<true>(w, rgb);
    else fill_solid_narrow<false>(w, rgb);
}

void fill_polygon(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1,
                  int32_t x2, int32_t y2, int32_t z2, int32_t x3, int32_t y3, int32_t z3,
                  const uint8_t* rgb, double light0, double light1, double light2, double light3)
{
    const int32_t v[12] = {x0, y0, z0, x1, y1, z1, x2, y2, z2, x3, y3, z3};
    const double lights[4] = {light0, light1, light2, light3};
    if (debug_flags & DEBUG_SOLID) {
        fill_face_rows(v, rgb, lights, 0, 1, false);
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
