// Lines and outlines: Bresenham lines clipped to the screen, a face's outline as four of them.
#include "render/lines.h"

#include "render/edges.h"
#include "render/frame.h"
#include "render/palette.h"

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

void draw_outline(const int32_t* corners, const uint8_t* rgb)
{
    // The lights play no part in an outline.
    const double lights[4] = {};
    SortedCorners s;
    sort_corners(corners, lights, &s);
    const int colour = outline_index(rgb);
    draw_line(s.top->x, s.top->y, s.second->x, s.second->y, colour);
    draw_line(s.top->x, s.top->y, s.third->x, s.third->y, colour);
    draw_line(s.bottom->x, s.bottom->y, s.second->x, s.second->y, colour);
    draw_line(s.bottom->x, s.bottom->y, s.third->x, s.third->y, colour);
}
