#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "render/rasterizer.h"
#include "render_test_util.h"

using namespace render_test;

namespace {

struct Pt { int32_t x, y; };

void fill_quad(const Pt (&c)[4], const uint8_t* rgb, double light = 1.0, int32_t z = -500)
{
    fill_polygon(c[0].x, c[0].y, z, c[1].x, c[1].y, z, c[2].x, c[2].y, z, c[3].x, c[3].y, z, rgb,
                 light, light, light, light);
}

const uint8_t white[3] = {255, 255, 255};

// The line walk exactly as written: skip the off-screen start, draw until the line
// leaves the screen. Only for coordinates small enough to walk.
void reference_walk(int64_t ua, int64_t va, int64_t ub, int64_t vb, bool steep, std::vector<uint8_t>& out)
{
    int64_t u_limit = steep ? 480 : 640, v_limit = steep ? 640 : 480;
    int64_t step = vb >= va ? 1 : -1;
    int64_t inc = 2 * (vb >= va ? vb - va : va - vb);
    int64_t dec = 2 * (ub - ua), e = -(ub - ua), u = ua, v = va;
    auto advance = [&] {
        e += inc;
        if (e > 0) { v += step; e -= dec; }
        u += 1;
    };
    while ((u < 0 || v < 0 || v >= v_limit) && u <= ub) advance();
    while (u <= ub && u < u_limit && v >= 0 && v < v_limit) {
        out[steep ? u * 640 + v : v * 640 + u] = 1;
        advance();
    }
}

const std::vector<uint8_t>& reference_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    static std::vector<uint8_t> out(SCREEN_PIXELS);
    std::fill(out.begin(), out.end(), 0);
    int64_t dx = x1 - x0, dy = y1 - y0;
    if (dx * dx < dy * dy) {
        if (y0 < y1) reference_walk(y0, x0, y1, x1, true, out);
        else reference_walk(y1, x1, y0, x0, true, out);
    } else {
        if (x0 < x1) reference_walk(x0, y0, x1, y1, false, out);
        else reference_walk(x1, y1, x0, y0, false, out);
    }
    return out;
}

}  // namespace

TEST(FillPolygon, RowAndColumnRules)
{
    struct Case {
        const char* name;
        Pt corners[4];
        std::vector<Pt> filled, empty;
    } cases[] = {
        {"bottom row and rightmost column", {{10, 5}, {50, 5}, {10, 20}, {50, 20}},
         {{10, 5}, {50, 5}, {50, 19}, {10, 19}}, {{9, 10}, {51, 10}, {30, 20}, {30, 4}}},
        {"two upper corners on row 0 leave it empty", {{10, 0}, {50, 0}, {10, 20}, {50, 20}},
         {{10, 1}, {50, 1}}, {{10, 0}, {30, 0}, {50, 0}}},
        {"row 0 drawn inside band 1", {{30, -10}, {10, 20}, {50, 20}, {50, 20}},
         {{30, 0}, {30, 19}}, {{30, 20}}},
        {"upper corners above the screen leave row 0 empty", {{10, -5}, {50, -5}, {10, 20}, {50, 20}},
         {{30, 1}}, {{30, 0}}},
        {"apex row is a single column", {{20, 5}, {10, 15}, {30, 15}, {30, 15}},
         {{20, 5}}, {{19, 5}, {21, 5}}},
        {"spans ending between -1 and 0 fill column 0", {{-20, 10}, {0, 10}, {-4, 30}, {-4, 30}},
         {{0, 10}, {0, 11}, {0, 14}}, {{0, 15}, {0, 20}, {1, 10}, {1, 12}}},
    };
    for (const Case& c : cases) {
        reset_frame(DEBUG_SOLID);
        fill_quad(c.corners, white);
        for (Pt p : c.filled) EXPECT_TRUE(written(p.x, p.y)) << c.name << " (" << p.x << "," << p.y << ")";
        for (Pt p : c.empty) EXPECT_FALSE(written(p.x, p.y)) << c.name << " (" << p.x << "," << p.y << ")";
        EXPECT_TRUE(guards_intact()) << c.name;
    }
}

TEST(FillPolygon, ColoursDepthAndModes)
{
    const Pt square[4] = {{100, 100}, {140, 100}, {100, 140}, {140, 140}};
    const uint8_t red[3] = {255, 0, 0}, blue[3] = {0, 0, 255}, green[3] = {0, 255, 0};
    const uint8_t wanderer[3] = {140, 255, 200};

    struct Case { const uint8_t* rgb; double light; int expect[4]; } cases[] = {
        {white, 1.0, {251, 251, 251, 251}},
        {white, 0.0, {0, 0, 0, 0}},
        {red, 0.5, {3, 3, 3, 3}},
        {blue, 0.5, {14, 21, 21, 14}},
    };
    for (const Case& c : cases) {
        reset_frame(DEBUG_SOLID);
        fill_quad(square, c.rgb, c.light);
        // Dither position k = 2 * (x & 1) + (y & 1).
        EXPECT_EQ(pixel(110, 110), c.expect[0]);
        EXPECT_EQ(pixel(110, 111), c.expect[1]);
        EXPECT_EQ(pixel(111, 110), c.expect[2]);
        EXPECT_EQ(pixel(111, 111), c.expect[3]);
        EXPECT_EQ(depth_at(120, 120), -500.0);
    }

    // Equal depth: the face drawn first stays; a nearer one replaces it.
    reset_frame(DEBUG_SOLID);
    fill_quad(square, white, 1.0, -500);
    fill_quad(square, green, 1.0, -500);
    EXPECT_EQ(pixel(120, 120), 251);
    fill_quad(square, green, 1.0, -501);
    EXPECT_EQ(pixel(120, 120), 251);
    fill_quad(square, red, 1.0, -499);
    EXPECT_EQ(pixel(120, 120), 6);
    EXPECT_EQ(depth_at(120, 120), -499.0);

    // Outline mode: four lines in the flat colour, lights ignored, depth untouched.
    reset_frame(0);
    fill_quad(square, wanderer, 0.01);
    EXPECT_EQ(pixel(100, 100), 241);
    EXPECT_EQ(pixel(120, 100), 241);
    EXPECT_EQ(pixel(140, 120), 241);
    EXPECT_EQ(pixel(120, 140), 241);
    EXPECT_FALSE(written(120, 120));
    EXPECT_LT(depth_at(120, 100), -1e42);

    // Four corners on one row: nothing solid, but the outline still lies on that row.
    const Pt flat[4] = {{10, 50}, {90, 50}, {40, 50}, {60, 50}};
    reset_frame(DEBUG_SOLID);
    fill_quad(flat, white);
    EXPECT_EQ(written_count(), 0);
    reset_frame(0);
    fill_quad(flat, white);
    EXPECT_EQ(written_count(), 81);
    EXPECT_TRUE(written(10, 50) && written(90, 50));
}

TEST(FillPolygon, SameCoverageForEveryCornerOrder)
{
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
    std::uniform_int_distribution<int> centre(-100, 700), radius(1, 300);
    for (int trial = 0; trial < 120; trial++) {
        // A convex quadrilateral: four points on an ellipse, in angular order, sometimes
        // snapped to share rows or columns to exercise the tie rules.
        double a[4];
        for (double& v : a) v = angle(rng);
        std::sort(a, a + 4);
        int cx = centre(rng), cy = centre(rng) * 3 / 4, rx = radius(rng), ry = radius(rng);
        Pt quad[4];
        for (int i = 0; i < 4; i++) {
            quad[i] = {cx + static_cast<int32_t>(rx * std::cos(a[i])), cy + static_cast<int32_t>(ry * std::sin(a[i]))};
        }
        if (trial % 3 == 1) quad[1].y = quad[0].y;
        if (trial % 5 == 2) quad[3].y = quad[2].y;
        if (trial % 7 == 3) quad[2].x = quad[1].x;
        // Snapping can break convexity; keep only quads whose turns all agree.
        int sign = 0;
        bool convex = true;
        for (int i = 0; i < 4 && convex; i++) {
            Pt p = quad[i], q = quad[(i + 1) % 4], r = quad[(i + 2) % 4];
            int64_t cross = int64_t{q.x - p.x} * (r.y - q.y) - int64_t{q.y - p.y} * (r.x - q.x);
            if (cross == 0) continue;
            int s = cross > 0 ? 1 : -1;
            if (sign != 0 && s != sign) convex = false;
            sign = s;
        }
        if (!convex) continue;

        int order[4] = {0, 1, 2, 3};
        std::vector<uint8_t> first;
        do {
            reset_frame(DEBUG_SOLID);
            Pt c[4] = {quad[order[0]], quad[order[1]], quad[order[2]], quad[order[3]]};
            fill_quad(c, white);
            const std::vector<uint8_t>& mask = written_mask();
            if (first.empty()) first = mask;
            else ASSERT_EQ(mask, first) << "trial " << trial << " order " << order[0] << order[1] << order[2] << order[3];
        } while (std::next_permutation(order, order + 4));
    }
}

TEST(FillPolygon, ExtremeCornersStayInsideTheBuffers)
{
    // The largest face there is covers rows 1..479 (row 0 only belongs to band 1).
    const Pt huge[4] = {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX}};
    reset_frame(DEBUG_SOLID);
    fill_quad(huge, white);
    EXPECT_EQ(written_count(), 640 * 479);
    EXPECT_FALSE(written(320, 0));

    std::mt19937 rng(99);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<int32_t> near(-2000, 2000);
    for (int trial = 0; trial < 400; trial++) {
        reset_frame(trial % 2 ? DEBUG_SOLID : 0);
        int32_t v[12];
        for (int32_t& value : v) value = (trial % 4 < 2) ? any(rng) : near(rng);
        v[0] = near(rng) + 320;  // one corner near the screen so that something is drawn
        v[1] = near(rng) / 4 + 240;
        fill_polygon(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], white,
                     1.0, 0.5, 0.25, 2.0);
        ASSERT_TRUE(guards_intact()) << trial;
    }
}

TEST(DrawLine, WorkedLines)
{
    struct Case { Pt a, b; std::vector<Pt> on; int count; } cases[] = {
        {{-10, 5}, {10, 5}, {{0, 5}, {10, 5}}, 11},
        {{10, 5}, {-10, 5}, {{0, 5}, {10, 5}}, 11},
        {{5, 5}, {5, 5}, {{5, 5}}, 1},
        {{3, -4}, {3, 2}, {{3, 0}, {3, 2}}, 3},
        {{630, 470}, {650, 490}, {{630, 470}, {639, 479}}, 10},
    };
    for (const Case& c : cases) {
        reset_frame(0);
        draw_line(c.a.x, c.a.y, c.b.x, c.b.y, 0x100 + 77);
        for (Pt p : c.on) EXPECT_EQ(pixel(p.x, p.y), 77);
        EXPECT_EQ(written_count(), c.count);
    }
}

TEST(DrawLine, SkippingMatchesTheStepByStepWalk)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> near(-3000, 3000);
    for (int trial = 0; trial < 1500; trial++) {
        int32_t x0 = near(rng), y0 = near(rng), x1 = near(rng), y1 = near(rng);
        if (trial % 4 == 0) y1 = y0 + (x1 - x0) / 3;  // long shallow lines crossing the screen
        reset_frame(0, false);
        draw_line(x0, y0, x1, y1, 1);
        ASSERT_EQ(written_mask(), reference_line(x0, y0, x1, y1)) << x0 << "," << y0 << " " << x1 << "," << y1;
    }
    // Lines of millions of steps, walked by the reference once each.
    const int32_t far[][4] = {{-3000000, 100, 2000000, 300}, {100, -3000000, 200, 2000000},
                              {-2000000, -1500000, 2000000, 1500001}};
    for (const auto& f : far) {
        reset_frame(0, false);
        draw_line(f[0], f[1], f[2], f[3], 1);
        EXPECT_EQ(written_mask(), reference_line(f[0], f[1], f[2], f[3]));
        EXPECT_GT(written_count(), 0);
    }
    // Ends anywhere in the 32-bit range: never a write outside the frame.
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (int trial = 0; trial < 2000; trial++) {
        reset_frame(0, false);
        draw_line(any(rng), any(rng), any(rng), any(rng), 1);
        ASSERT_TRUE(guards_intact());
    }
}
