// The scalar pixel rule of faces and discs (depth test, colour, dither) the vector loops must match.
#pragma once

#include <cstdint>

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/palette_tables.h"

// A clipped span as the pixel loops see it: left to right whichever way it was set up.
// Pixel i of the span is column leftmost + i; each pixel gets the same depth and channel
// values either way, and its colour depends on nothing else.
struct RowWalk {
    int row_parity = 0;
    int64_t count = 0;
    int64_t leftmost = 0;
    int64_t channel[3] = {};  // red, green, blue at the leftmost column, 16.16 fixed point
    int64_t step[3] = {};     // and their change per column, exact integers
    double* depth = nullptr;  // the row's depth and frame from the leftmost column on
    uint8_t* frame = nullptr;
    double left = 0, depth_step = 0;  // the depth at column j is left + j * depth_step, exactly
};

// A pixel is drawn where its depth is nearer (larger) than the buffer's; where ties win,
// also where it is as near: the item drawn later then wins a tie.
template <bool TiesWin>
inline bool depth_passes(double buffered, double z)
{
    return TiesWin ? buffered <= z : buffered < z;
}

#if defined(__SSE2__)
// The depth kept by the vector loops, _mm_max_pd's rule: a where a > b, else b (b on a
// tie, whatever the zeros' signs). In WebAssembly one pmax, where its SSE2 stand-in is a
// compare and a select.
inline __m128d keep_nearer_pd(__m128d a, __m128d b)
{
#if defined(__wasm_simd128__)
    return (__m128d)wasm_f64x2_pmax((v128_t)b, (v128_t)a);
#else
    return _mm_max_pd(a, b);
#endif
}
#endif

// The dither position of a column on a row of the given parity.
inline int dither_position(int64_t column, int row_parity) { return 2 * static_cast<int>(column & 1) + row_parity; }

// A 16.16 channel value as an intensity, clamped into 0..255.
inline int channel_intensity(int64_t channel)
{
    const int64_t v = channel >> 16;
    return static_cast<int>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The palette index of three intensities at dither position k: the dithered levels
// (see dithered_level) weighed 1, 7 and 42.
inline uint8_t dithered_index(int red, int green, int blue, int k)
{
    return static_cast<uint8_t>(dither_red_by_position[k][red] + dither_blue_by_position[k][blue] +
                                dither_green_by_position[k][green]);
}

// The depth of pixel j of a span; the first is left itself (-0 + 0 would be +0).
inline double span_depth(const RowWalk& s, int64_t j)
{
    return j == 0 ? s.left : s.left + static_cast<double>(j) * s.depth_step;
}

// Pixel j of a span: tested against the buffer, and where it passes its depth and colour
// written.
template <bool TiesWin>
inline void draw_span_pixel(const RowWalk& s, int64_t j)
{
    const double z = span_depth(s, j);
    if (!depth_passes<TiesWin>(s.depth[j], z)) return;
    s.depth[j] = z;
    int level[3];
    for (int c = 0; c < 3; c++) level[c] = channel_intensity(s.channel[c] + j * s.step[c]);
    s.frame[j] = dithered_index(level[0], level[1], level[2], dither_position(s.leftmost + j, s.row_parity));
}

// A whole span one pixel at a time: the definition the vector loops are tested against,
// and the loop of the rare spans whose channels leave the tables.
template <bool TiesWin>
inline void draw_span_scalar(const RowWalk& s)
{
    for (int64_t j = 0; j < s.count; j++) draw_span_pixel<TiesWin>(s, j);
}

// A disc is black, palette index 0 at every dither position; its pixels all share one depth.
constexpr uint8_t disc_index = 0;
template <bool TiesWin>
inline void draw_disc_pixel(double* depth, uint8_t* pixel, double z)
{
    if (!depth_passes<TiesWin>(*depth, z)) return;
    *depth = z;
    *pixel = disc_index;
}
