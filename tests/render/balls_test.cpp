#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "render/balls.h"
#include "render/scene.h"
#include "render_test_util.h"

using namespace render_test;

namespace {

// The midpoint walk as written, with its double decision value, calling plot for the
// disc's spans (as single points) or the circle's eight points.
template <typename Plot>
void reference_walk(int64_t cx, int64_t cy, int64_t radius, bool disc, Plot plot)
{
    int64_t r = radius < 0 ? -radius : radius;
    double d = 1.25 - static_cast<double>(r);
    int64_t i = 0, j = r;
    do {
        if (disc) {
            // plot ignores rows off the screen; skipping their columns saves time only.
            for (int64_t row : {cy + j, cy - j}) {
                if (row <= 0 || row >= 480) continue;
                for (int64_t x = std::max<int64_t>(0, cx - i); x <= std::min<int64_t>(639, cx + i); x++) plot(x, row);
            }
            for (int64_t row : {cy + i, cy - i}) {
                if (row <= 0 || row >= 480) continue;
                for (int64_t x = std::max<int64_t>(0, cx - j); x <= std::min<int64_t>(639, cx + j); x++) plot(x, row);
            }
        } else {
            const int64_t pts[8][2] = {{cx + i, cy + j}, {cx + i, cy - j}, {cx - i, cy + j}, {cx - i, cy - j},
                                       {cx + j, cy + i}, {cx + j, cy - i}, {cx - j, cy + i}, {cx - j, cy - i}};
            for (const auto& p : pts) plot(p[0], p[1]);
        }
        if (d < 0) {
            d = d + 2 * i + 3;
        } else {
            d = d + 2 * (i - j) + 5;
            j = j - 1;
        }
        i = i + 1;
    } while (j >= i);
}

const std::vector<uint8_t>& reference_disc(int64_t cx, int64_t cy, int64_t r)
{
    static std::vector<uint8_t> out(SCREEN_PIXELS);
    std::fill(out.begin(), out.end(), 0);
    reference_walk(cx, cy, r, true, [&](int64_t x, int64_t y) {
        if (y > 0 && y < 480) out[y * 640 + x] = 1;
    });
    return out;
}

const std::vector<uint8_t>& reference_circle(int64_t cx, int64_t cy, int64_t r)
{
    static std::vector<uint8_t> out(SCREEN_PIXELS);
    std::fill(out.begin(), out.end(), 0);
    reference_walk(cx, cy, r, false, [&](int64_t x, int64_t y) {
        if (x >= 0 && x < 640 && y >= 0 && y < 480) out[y * 640 + x] = 1;
    });
    return out;
}

}  // namespace

TEST(Balls, WorkedBall)
{
    // Radius 0.375 at (0, 0, -7): centre (320, 240), sr = -15, a disc at depth -700.
    reset_frame(DEBUG_SOLID);
    identity_view();
    draw_ball(0, 0, -7, 0.375);
    EXPECT_EQ(written_mask(), reference_disc(320, 240, 15));
    EXPECT_EQ(pixel(320, 240), 0);
    EXPECT_EQ(depth_at(335, 240), -700.0);
    EXPECT_FALSE(written(336, 240));

    reset_frame(0);
    identity_view();
    draw_ball(0, 0, -7, 0.375);
    EXPECT_EQ(written_mask(), reference_circle(320, 240, 15));
    EXPECT_EQ(pixel(335, 240), 78);

    struct Case { double x, y, z; bool drawn; } cases[] = {
        {0, 0, -1.0, false},   // centre exactly at the near limit
        {0, 0, -2.0, false},   // at the eye plane
        {0, 0, -1.5, true},    // behind the eye (sr = +150): its square lies inside the screen
        {0, 0, -1.98, false},  // sr = +3750: it does not
        {1.5, 0, -1.5, false},
        {0.1, 0.1, -1.1, true},  // behind the eye, small and inside
        {100, 0, -7, false},     // far to the side
        {2.5, 0, -7, true},      // square reaching in from the left edge
    };
    for (const Case& c : cases) {
        for (uint16_t mode : {uint16_t{0}, DEBUG_SOLID}) {
            reset_frame(mode);
            identity_view();
            draw_ball(c.x, c.y, c.z, 0.375);
            EXPECT_EQ(written_count() > 0, c.drawn) << c.x << " " << c.z;
            EXPECT_TRUE(guards_intact());
        }
    }
}

TEST(Balls, DiscDepthAndEdges)
{
    // Radius 0: the disc is one pixel; the circle writes that pixel (eight times).
    reset_frame(DEBUG_SOLID);
    draw_disc(100, 100, -300.0, 0);
    EXPECT_EQ(written_count(), 1);
    EXPECT_EQ(pixel(100, 100), 0);
    reset_frame(0);
    draw_circle(100, 100, 0, 0x100 + 78);
    EXPECT_EQ(written_count(), 1);
    EXPECT_EQ(pixel(100, 100), 78);

    // Nearer depth already there: untouched; the same depth twice: the first stays.
    reset_frame(DEBUG_SOLID);
    depth_buffer[100 * 640 + 100] = -200.0;
    draw_disc(100, 100, -300.0, 5);
    EXPECT_FALSE(written(100, 100));
    EXPECT_TRUE(written(101, 100));
    frame[101 + 100 * 640] = 9;
    draw_disc(100, 100, -300.0, 5);
    EXPECT_EQ(pixel(101, 100), 9);

    // Never row 0, never off the screen.
    reset_frame(DEBUG_SOLID);
    draw_disc(2, 2, -300.0, 10);
    EXPECT_FALSE(written(2, 0));
    EXPECT_TRUE(written(2, 1));
    EXPECT_TRUE(guards_intact());
}

TEST(Balls, SkippingMatchesTheStepByStepWalk)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> radius(0, 3000), centre(-2500, 3000);
    for (int trial = 0; trial < 250; trial++) {
        int32_t r = radius(rng) * (trial % 2 ? 1 : -1);
        if (trial % 5 == 0) r = r % 40;
        int32_t cx = centre(rng), cy = centre(rng);
        reset_frame(DEBUG_SOLID);
        draw_disc(cx, cy, -300.0, r);
        ASSERT_EQ(written_mask(), reference_disc(cx, cy, r)) << "disc " << cx << "," << cy << " r " << r;
        reset_frame(0, false);
        draw_circle(cx, cy, r, 1);
        ASSERT_EQ(written_mask(), reference_circle(cx, cy, r)) << "circle " << cx << "," << cy << " r " << r;
    }
    // Radii in the millions, walked by the reference once each.
    const int32_t big[][3] = {{320, 240 + 3000000, 3000000}, {-2121320, -2121320, 3000000},
                              {320 + 4000000, 240, -4000000}};
    for (const auto& b : big) {
        reset_frame(DEBUG_SOLID);
        draw_disc(b[0], b[1], -300.0, b[2]);
        EXPECT_EQ(written_mask(), reference_disc(b[0], b[1], b[2]));
        EXPECT_GT(written_count(), 0);
        reset_frame(0);
        draw_circle(b[0], b[1], b[2], 1);
        EXPECT_EQ(written_mask(), reference_circle(b[0], b[1], b[2]));
        EXPECT_GT(written_count(), 0);
    }
}

TEST(Balls, ExtremeRadiiStayInsideTheBuffers)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    const int32_t radii[] = {INT32_MAX, INT32_MIN, INT32_MAX - 1, 1 << 30};
    for (int32_t r : radii) {
        reset_frame(DEBUG_SOLID);
        draw_disc(320, 240, -300.0, r);
        EXPECT_EQ(written_count(), 640 * 479);  // a disc that covers the screen fills rows 1..479
        reset_frame(0);
        draw_circle(320, 240, r, 1);
        EXPECT_EQ(written_count(), 0);
        EXPECT_TRUE(guards_intact());
    }
    for (int trial = 0; trial < 300; trial++) {
        reset_frame(DEBUG_SOLID);
        draw_disc(any(rng), any(rng), -300.0, any(rng));
        ASSERT_TRUE(guards_intact());
        reset_frame(0);
        draw_circle(any(rng), any(rng), any(rng), 1);
        ASSERT_TRUE(guards_intact());
    }
    // Balls at and around the eye plane, and values that are not numbers.
    const double zs[] = {-2.0, -2.0000000001, -1.9999999999, -1.000001, NAN};
    for (double z : zs) {
        for (uint16_t mode : {uint16_t{0}, DEBUG_SOLID}) {
            reset_frame(mode);
            identity_view();
            draw_ball(0.001, 0.0, z, 0.375);
            draw_ball(NAN, 0.0, -7, 0.375);
            draw_ball(0.0, 0.0, -7, INFINITY);
            EXPECT_TRUE(guards_intact());
        }
    }
}
