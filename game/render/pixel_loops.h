// The pixel loops: a span's columns eight at a time in 128- or 256-bit vectors, each pixel as draw_span_pixel draws it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/frame.h"
#include "render/palette_tables.h"
#include "render/pixel_rule.h"

// Inline, for the span set-up is compiled together with them, once for each vector width.

// For 8 pixels, the byte mask of each 8-bit pattern of passed depth tests.
struct ByteMasks {
    uint64_t of[256];
};
inline constexpr ByteMasks byte_masks = [] {
    ByteMasks m{};
    for (int bits = 0; bits < 256; bits++) {
        for (int q = 0; q < 8; q++) {
            if (bits & (1 << q)) m.of[bits] |= uint64_t{0xFF} << (8 * q);
        }
    }
    return m;
}();

inline void write_eight(uint8_t* frame, unsigned passed, uint64_t colours)
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

// The eight-column loops below draw a span's columns eight at a time, each pixel as
// draw_span_pixel would, and return how many they drew: all of them, or those before a
// last group that would pass the row's end. The depth test keeps the maximum, which is the
// new depth exactly where depth_passes holds (depths are never NaN). A group where no test
// passes is left as it is; the colours of the others, dithered_level on 16-bit lanes
// (which dithered_index looks up), are worked out and written through a mask. The last
// group may reach past the span's end but not past its row: the row belongs to this
// drawing thread alone, and what lies beyond the span is written back as it was, its new
// depths never passing. The depths are linear (span_depth): each group's are the previous
// group's plus 8 * step, exactly.

// The dither thresholds of a column and of the next (columns alternate) as one 32-bit
// pair, low half first, by the dither position k of the first.
constexpr uint32_t threshold_pair(int k)
{
    return static_cast<uint32_t>(dither_threshold[k]) | static_cast<uint32_t>(dither_threshold[k ^ 2]) << 16;
}
inline constexpr uint32_t threshold_pairs[4] = {threshold_pair(0), threshold_pair(1), threshold_pair(2), threshold_pair(3)};
// The same pair with each threshold twice (a column's red and green share its 32 bits).
constexpr uint64_t threshold_quad(int k)
{
    const uint64_t first = static_cast<uint64_t>(dither_threshold[k]), second = static_cast<uint64_t>(dither_threshold[k ^ 2]);
    return first | first << 16 | second << 32 | second << 48;
}
inline constexpr uint64_t threshold_quads[4] = {threshold_quad(0), threshold_quad(1), threshold_quad(2), threshold_quad(3)};

#if defined(__SSE2__)
template <bool TiesWin>
inline int64_t draw_groups_sse2(const RowWalk& g)
{
    const int64_t count = g.count;
    double* const depth = g.depth;
    uint8_t* const frame = g.frame;
    const __m128i thresholds = _mm_set1_epi32(static_cast<int>(threshold_pairs[dither_position(g.leftmost, g.row_parity)]));
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
                _mm_storeu_pd(depth + j + 2 * q, TiesWin ? keep_nearer_pd(old[q], z[q]) : keep_nearer_pd(z[q], old[q]));
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
__attribute__((target("avx2"), always_inline)) inline void draw_group_avx2(double* depth, uint8_t* frame,
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
__attribute__((target("avx2"))) inline int64_t draw_groups_avx2(const RowWalk& g)
{
    const int64_t count = g.count;
    double* const depth = g.depth;
    uint8_t* const frame = g.frame;
    WideGroup k;
    k.thresholds = _mm256_set1_epi64x(static_cast<int64_t>(threshold_quads[dither_position(g.leftmost, g.row_parity)]));
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
#endif

// Draws a span whose channels stay within the dither tables and whose depths are one exact
// run, exactly as draw_span_scalar does: eight columns at a time where the processor
// allows (Wide: with 256-bit vectors, which the caller must have checked), the rest one
// at a time.
template <bool Wide, bool TiesWin>
inline void walk_span(const RowWalk& s)
{
    int64_t j = 0;
#if defined(MAZE_HAS_AVX2_PATH)
    j = Wide ? draw_groups_avx2<TiesWin>(s) : draw_groups_sse2<TiesWin>(s);
#elif defined(__SSE2__)
    j = draw_groups_sse2<TiesWin>(s);
#endif
    for (; j < s.count; j++) draw_span_pixel<TiesWin>(s, j);
}

// Spans are drawn with 256-bit vectors where the processor has them (the default), else
// with 128-bit ones; the pictures are the same. Returns whether the wide ones are in use
// after the call, for tests and measurements.
bool set_wide_vectors(bool wide);
bool wide_vectors_in_use();
