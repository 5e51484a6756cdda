#include <gtest/gtest.h>

#include "render_test_util.h"

using namespace render_test;

TEST(Palette, CubeEntriesAndLevels)
{
    reset_frame(0);
    struct Case { int index; int r, g, b; } cases[] = {
        {0, 0, 0, 0},
        {1, 36, 0, 0},
        {6, 219, 0, 0},
        {7, 0, 0, 42},
        {42, 0, 42, 0},
        {78, 36, 42, 213},    // the ball's outline colour
        {251, 219, 213, 213}, // the brightest: no pure white in the cube
    };
    for (const Case& c : cases) {
        EXPECT_EQ(palette[c.index][0], c.r) << c.index;
        EXPECT_EQ(palette[c.index][1], c.g) << c.index;
        EXPECT_EQ(palette[c.index][2], c.b) << c.index;
    }
}

TEST(Palette, DitherRows)
{
    reset_frame(0);
    struct Case { int v; int red[4]; int gb[4]; } cases[] = {
        {0, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {10, {0, 0, 1, 0}, {0, 0, 1, 0}},
        {43, {1, 1, 1, 1}, {0, 1, 1, 1}},
        {64, {1, 2, 2, 1}, {1, 1, 2, 1}},
        {128, {3, 3, 3, 3}, {2, 3, 3, 2}},
        {200, {4, 5, 5, 5}, {4, 4, 4, 4}},
        {255, {6, 6, 6, 6}, {5, 5, 5, 5}},
    };
    for (const Case& c : cases) {
        for (int k = 0; k < 4; k++) {
            EXPECT_EQ(dither_red[c.v][k], c.red[k]) << "v " << c.v << " k " << k;
            EXPECT_EQ(dither_green_blue[c.v][k], c.gb[k]) << "v " << c.v << " k " << k;
        }
    }
}

TEST(Palette, ColourRules)
{
    reset_frame(0);
    // Dither position k = 2 * (x & 1) + (y & 1): (0,0) k0, (0,1) k1, (1,0) k2, (1,1) k3.
    const int xs[4] = {0, 0, 1, 1};
    const int ys[4] = {0, 1, 0, 1};
    const int blue_half[4] = {14, 21, 21, 14};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(dithered_index(127, 0, 0, xs[k], ys[k]), 3) << k;
        EXPECT_EQ(dithered_index(0, 0, 127, xs[k], ys[k]), blue_half[k]) << k;
        EXPECT_EQ(dithered_index(255, 255, 255, xs[k] + 10, ys[k] + 20), 251) << k;
        EXPECT_EQ(dithered_index(0, 0, 0, xs[k], ys[k]), 0) << k;
        // Out-of-range intensities are clamped, never read outside the tables.
        EXPECT_EQ(dithered_index(300, 1000, -5, xs[k], ys[k]), 6 + 42 * 5) << k;
    }
    const uint8_t white[3] = {255, 255, 255};
    const uint8_t wanderer[3] = {140, 255, 200};
    const uint8_t edge[3] = {36, 42, 43};  // 36/37 = 0, 42/43 = 0, 43/43 = 1
    EXPECT_EQ(outline_index(white), 251);
    EXPECT_EQ(outline_index(wanderer), 241);
    EXPECT_EQ(outline_index(edge), 7);
}

TEST(Palette, NearestEntryForOverlayText)
{
    reset_frame(0);
    struct Case { int r, g, b; int index; } cases[] = {
        {0, 255, 255, 255},    // the frame-rate text: exact cyan
        {255, 255, 0, 254},    // the banner: exact yellow
        {255, 255, 255, 252},
        {0, 0, 0, 0},
        {36, 42, 213, 78},
        {0x100 + 36, 0x200 + 42, 213, 78},  // only the low 8 bits count
    };
    for (const Case& c : cases) EXPECT_EQ(nearest_palette_index(c.r, c.g, c.b), c.index);
}
