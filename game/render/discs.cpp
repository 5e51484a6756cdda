#include "render/discs.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/frame.h"
#include "render/pixel_rule.h"
#include "world/numeric.h"

using u128 = unsigned __int128;

// The midpoint circle walk: i counts up from 0, j starts at r and steps down by one
// whenever the decision value d = (i + 1)^2 + (j - 1/2)^2 - r^2 is not negative; the walk
// continues while j >= i. d is a quarter plus an integer, so the double of the classic
// form and the integer kept here agree exactly.
//
// Radii reach 2^31 when a ball comes near the eye plane, and the walk then has billions
// of steps. While j >= i + 2, every step keeps (i, j) the midpoint-nearest point of the
// circle: i^2 + (j - 1/2)^2 < r^2 <= i^2 + (j + 1/2)^2, so j at step i is the largest j
// with (2j - 1)^2 < 4(r^2 - i^2), an integer square root. Only the last two or three
// steps near the diagonal leave that rule; they are walked one by one.
struct MidpointWalk {
    int64_t r;
    int64_t tail_start;  // first step walked one by one; j follows the closed form before it
    int64_t last_step;   // the last i the walk visits
    int64_t tail_j[8];   // j at steps tail_start .. last_step
};

// Per thread: discs of one frame are drawn by every drawing thread at once.
static thread_local MidpointWalk walk;

static uint64_t isqrt(u128 x)
{
    uint64_t s = static_cast<uint64_t>(std::sqrt(static_cast<double>(x)));
    while (static_cast<u128>(s) * s > x) s--;
    while (static_cast<u128>(s + 1) * (s + 1) <= x) s++;
    return s;
}

// One step of the midpoint circle walk. The decision value is kept without its quarter
// (1.25 - r becomes 1 - r): every update is an integer, so its sign never changes.
template <typename Decision>
static void midpoint_step(Decision* d, int64_t* i, int64_t* j)
{
    if (*d < 0) {
        *d += 2 * *i + 3;
    } else {
        *d += 2 * (*i - *j) + 5;
        (*j)--;
    }
    (*i)++;
}

// Largest j with (2j - 1)^2 < 4(r^2 - i^2), or -1 when there is none (i >= r).
static int64_t closed_form_j(int64_t i)
{
    u128 r2 = static_cast<u128>(walk.r) * walk.r;
    u128 i2 = static_cast<u128>(i) * i;
    if (i2 >= r2) return -1;
    u128 m = 4 * (r2 - i2);
    if (m <= 1) return -1;
    uint64_t s = isqrt(m - 1);
    uint64_t t = (s & 1) ? s : s - 1;
    return static_cast<int64_t>((t + 1) / 2);
}

static void start_walk(int64_t r)
{
    walk.r = r;
    int64_t i0 = 0;
    int64_t j0 = r;
    if (closed_form_j(0) >= 2) {
        // The closed form holds up to one step past the last i with j >= i + 2.
        int64_t lo = 0;  // j >= i + 2 here
        int64_t hi = r;  // and not here
        while (hi - lo > 1) {
            int64_t mid = lo + (hi - lo) / 2;
            if (closed_form_j(mid) >= mid + 2) lo = mid;
            else hi = mid;
        }
        i0 = lo + 1;
        j0 = closed_form_j(i0);
    }
    walk.tail_start = i0;
    __int128 d = static_cast<__int128>(i0 + 1) * (i0 + 1) + static_cast<__int128>(j0) * j0 - j0 -
                 static_cast<__int128>(r) * r;
    int64_t i = i0;
    int64_t j = j0;
    int n = 0;
    do {
        walk.tail_j[n++] = j;
        walk.last_step = i;
        midpoint_step(&d, &i, &j);
    } while (j >= i && n < 8);
}

// j at step i, for 0 <= i <= walk.last_step.
static int64_t walk_j(int64_t i)
{
    if (i >= walk.tail_start) return walk.tail_j[i - walk.tail_start];
    return closed_form_j(i);
}

// The last step whose j is at least a (a >= 0), or -1.
static int64_t last_step_reaching(int64_t a)
{
    for (int64_t i = walk.last_step; i >= walk.tail_start; i--) {
        if (walk.tail_j[i - walk.tail_start] >= a) return i;
    }
    // j >= a (a >= 1) exactly when 4 i^2 < 4 r^2 - (2a - 1)^2; j >= 0 as j >= 1.
    int64_t odd = 2 * std::max<int64_t>(a, 1) - 1;
    u128 four_r2 = 4 * static_cast<u128>(walk.r) * walk.r;
    u128 odd2 = static_cast<u128>(odd) * odd;
    if (odd2 >= four_r2) return -1;
    int64_t i = static_cast<int64_t>(isqrt((four_r2 - odd2 - 1) / 4));
    return std::min(i, walk.tail_start - 1);
}

// The rows a disc draws on: (row & mask) == phase.
struct RowSet {
    int64_t phase, mask;
    bool ties_win;
};

// Each pixel as draw_disc_pixel draws it; eight columns at a time where the processor
// allows: the depth kept is the maximum (of equal ones the new where ties win; depth is
// never NaN here), and the passing columns' pixels are cleared to disc_index.
template <bool TiesWin>
static void disc_pixels(double* depths, uint8_t* pixels, int64_t left, int64_t right, double depth)
{
    int64_t x = left;
#if defined(__SSE2__)
    static_assert(disc_index == 0, "the passing columns are cleared");
    const __m128d d = _mm_set1_pd(depth);
    for (; x + 7 <= right; x += 8) {
        __m128 pass[4];
        for (int q = 0; q < 4; q++) {
            const __m128d old = _mm_loadu_pd(depths + x + 2 * q);
            pass[q] = _mm_castpd_ps(TiesWin ? _mm_cmple_pd(old, d) : _mm_cmplt_pd(old, d));
            _mm_storeu_pd(depths + x + 2 * q, TiesWin ? keep_nearer_pd(old, d) : keep_nearer_pd(d, old));
        }
        // One 0xFF or 0x00 byte per column from the low halves of the eight results.
        const __m128i low = _mm_castps_si128(_mm_shuffle_ps(pass[0], pass[1], 0x88));
        const __m128i high = _mm_castps_si128(_mm_shuffle_ps(pass[2], pass[3], 0x88));
        const __m128i passed = _mm_packs_epi16(_mm_packs_epi32(low, high), _mm_setzero_si128());
        const __m128i row = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels + x));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(pixels + x), _mm_andnot_si128(passed, row));
    }
#endif
    for (; x <= right; x++) draw_disc_pixel<TiesWin>(depths + x, pixels + x, depth);
}

static void disc_span(RowSet rows, int64_t row, int64_t left, int64_t right, double depth)
{
    if (row <= 0 || row >= SCREEN_HEIGHT || (row & rows.mask) != rows.phase) return;
    left = std::max<int64_t>(left, 0);
    right = std::min<int64_t>(right, SCREEN_WIDTH - 1);
    double* depths = depth_buffer + row * SCREEN_WIDTH;
    uint8_t* pixels = frame_buffer + row * SCREEN_WIDTH;
    if (rows.ties_win) disc_pixels<true>(depths, pixels, left, right, depth);
    else disc_pixels<false>(depths, pixels, left, right, depth);
}

void draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius)
{
    draw_disc_rows(cx, cy, depth, radius, 0, 1, false);
}

void draw_disc_rows(int32_t cx, int32_t cy, double depth, int32_t radius, int row_phase, int row_step, bool ties_win)
{
    if (!valid_row_phase(row_phase, row_step) || depth != depth) return;  // a NaN depth never passes
    const RowSet rows{row_phase, row_step - 1, ties_win};
    int64_t r = radius < 0 ? -static_cast<int64_t>(radius) : radius;
    int64_t x = cx;
    int64_t y = cy;
    if (r <= disc_walk_limit) {
        int64_t i = 0;
        int64_t j = r;
        int64_t d = 1 - r;  // the decision value less its quarter
        do {
            disc_span(rows, y + j, x - i, x + i, depth);
            disc_span(rows, y - j, x - i, x + i, depth);
            disc_span(rows, y + i, x - j, x + j, depth);
            disc_span(rows, y - i, x - j, x + j, depth);
            midpoint_step(&d, &i, &j);
        } while (j >= i);
        return;
    }
    // Every pixel of the disc gets the same depth and colour, so the result is the union
    // of the walk's spans: per row, the widest span the walk draws on it. Row y at
    // distance a from the centre is drawn as step a's row (half-width j at step a) and
    // as the row of every step whose j is a (half-width i, widest at the last of them).
    start_walk(r);
    int64_t first_row = std::max<int64_t>(1, y - r);
    int64_t last_row = std::min<int64_t>(SCREEN_HEIGHT - 1, y + r);
    while ((first_row & rows.mask) != rows.phase) first_row++;
    for (int64_t row = first_row; row <= last_row; row += rows.mask + 1) {
        int64_t a = row > y ? row - y : y - row;
        int64_t half = -1;
        if (a <= walk.last_step) half = walk_j(a);
        int64_t i = last_step_reaching(a);
        if (i >= 0 && walk_j(i) == a) half = std::max(half, i);
        if (half >= 0) disc_span(rows, row, x - half, x + half, depth);
    }
}

static void circle_point(int64_t x, int64_t y, uint8_t colour)
{
    if (x < 0 || x >= SCREEN_WIDTH || y < 0 || y >= SCREEN_HEIGHT) return;
    frame_buffer[y * SCREEN_WIDTH + x] = colour;
}

void draw_circle(int32_t cx, int32_t cy, int32_t radius, int colour)
{
    int64_t r = radius < 0 ? -static_cast<int64_t>(radius) : radius;
    int64_t x = cx;
    int64_t y = cy;
    uint8_t index = static_cast<uint8_t>(colour & 0xFF);
    start_walk(r);
    // A step's eight points can only reach the screen when cx +- i is a column or
    // cy +- i a row of it; all other steps are passed over.
    const int64_t ranges[4][2] = {
        {-x, SCREEN_WIDTH - 1 - x},
        {x - (SCREEN_WIDTH - 1), x},
        {-y, SCREEN_HEIGHT - 1 - y},
        {y - (SCREEN_HEIGHT - 1), y},
    };
    for (const auto& range : ranges) {
        int64_t from = std::max<int64_t>(range[0], 0);
        int64_t to = std::min<int64_t>(range[1], walk.last_step);
        for (int64_t i = from; i <= to; i++) {
            int64_t j = walk_j(i);
            circle_point(x + i, y + j, index);
            circle_point(x + i, y - j, index);
            circle_point(x - i, y + j, index);
            circle_point(x - i, y - j, index);
            circle_point(x + j, y + i, index);
            circle_point(x + j, y - i, index);
            circle_point(x - j, y + i, index);
            circle_point(x - j, y - i, index);
        }
    }
}
