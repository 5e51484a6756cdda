// Where the frame goes in a window of any size, and how it is scaled there.
#include <gtest/gtest.h>

#include "platform/sdl/sdl_screen.h"

#include <tuple>
#include <vector>

TEST(SdlScreen, PictureAreaIsTheCentred4By3PartOfTheOutput)
{
    const struct {
        int width, height;
        SDL_Rect area;
    } cases[] = {
        {640, 480, {0, 0, 640, 480}},
        {1920, 1080, {240, 0, 1440, 1080}},     // wider than 4:3: bars left and right
        {1280, 1024, {0, 32, 1280, 960}},       // taller: bars above and below
        {1281, 960, {0, 0, 1280, 960}},         // the odd column left over goes right
        {1024, 769, {0, 0, 1024, 768}},         // 769 * 4 / 3 would be wider than the output
        {2560, 1600, {213, 0, 2133, 1600}},     // 2133.33 truncated, never wider
        {321, 240, {0, 0, 320, 240}},
    };
    for (const auto& c : cases) {
        SDL_Rect a = sdl_screen_picture_area(c.width, c.height);
        EXPECT_EQ(std::tuple(a.x, a.y, a.w, a.h), std::tuple(c.area.x, c.area.y, c.area.w, c.area.h))
            << c.width << "x" << c.height;
    }
}

TEST(SdlScreen, UpscaleFactorIsZeroForWholeMultiplesElseTheSmallestCoveringOne)
{
    struct Case {
        int width, height, factor;
    } cases[] = {
        {640, 480, 0},   {1280, 960, 0},  {1920, 1440, 0},  // pixels repeated alone
        {1024, 768, 2},  {1440, 1080, 3}, {1281, 961, 3},   // just past 2x: 3x, then smoothed
        {1279, 959, 2},  {641, 481, 2},   {2133, 1600, 4},
        {639, 479, 1},   {320, 240, 1},                     // smaller than the frame: smoothed directly
        {1280, 961, 3},                                     // one extra row spoils the multiple
        {0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sdl_screen_upscale_factor(c.width, c.height), c.factor) << c.width << "x" << c.height;
}

TEST(SdlScreen, WindowFactorIsTheLargestWholeMultipleThatFits)
{
    struct Case {
        int width, height, factor;
    } cases[] = {
        {1920, 1080, 2}, {2560, 1600, 3}, {2560, 1440, 3}, {2560, 1439, 2},
        {1279, 1080, 1}, {1280, 960, 2},  {1024, 768, 1},  {3840, 2160, 4},
        {600, 400, 1},   // never less than the frame itself
    };
    for (const Case& c : cases)
        EXPECT_EQ(sdl_screen_window_factor(c.width, c.height), c.factor) << c.width << "x" << c.height;
}

TEST(SdlScreen, ScaleTapsMixOnlyAcrossFramePixelBorders)
{
    const struct {
        int source, factor, dest, x;
        SdlScreenTap tap;
    } cases[] = {
        // 640 -> 1024 through 1280: centres at 0.125, 1.375, 2.625, 3.875, 5.125 upscaled pixels
        {640, 2, 1024, 0, {0, 0, 0}},
        {640, 2, 1024, 1, {0, 1, 96}},  // 0.375 of the way from upscaled 1 (frame 0) to 2 (frame 1)
        {640, 2, 1024, 2, {1, 1, 0}},   // both neighbours inside frame pixel 1: no mixing
        {640, 2, 1024, 3, {1, 2, 224}},
        {640, 2, 1024, 4, {2, 3, 32}},
        {640, 2, 1024, 1023, {639, 639, 0}},  // the last pixel never reaches past the frame
        {480, 2, 768, 1, {0, 1, 96}},         // rows alike
        // 640 -> 1440 through 1920: 2400/2880 of a pixel is 213.3/256, 480/2880 is 42.7/256,
        // each rounded to the nearest
        {640, 3, 1440, 1, {0, 0, 0}},
        {640, 3, 1440, 2, {0, 1, 213}},
        {640, 3, 1440, 6, {2, 3, 43}},
        // smaller than the frame: smoothed directly, every output pixel halfway
        {640, 1, 320, 0, {0, 1, 128}},
        {640, 1, 320, 319, {638, 639, 128}},
        // whole multiples: each frame pixel repeated, nothing mixed
        {640, 0, 1280, 1, {0, 0, 0}},
        {640, 0, 1280, 2, {1, 1, 0}},
        {640, 0, 1920, 1919, {639, 639, 0}},
        {640, 0, 640, 639, {639, 639, 0}},
    };
    for (const auto& c : cases) {
        std::vector<SdlScreenTap> taps(static_cast<size_t>(c.dest), SdlScreenTap{-1, -1, -1});
        sdl_screen_scale_taps(c.source, c.factor, c.dest, taps.data());
        const SdlScreenTap& t = taps[static_cast<size_t>(c.x)];
        EXPECT_EQ(std::tuple(t.first, t.second, t.weight), std::tuple(c.tap.first, c.tap.second, c.tap.weight))
            << c.source << "->" << c.dest << " x" << c.x;
    }
}

TEST(SdlScreen, ScaleTapsAtAnySizeStayInsideTheFrameAndInOrder)
{
    // Every width a window can take from half the frame up: no tap outside the frame or
    // weight out of range, the pixels shown never step back, from the frame's size up
    // none is skipped, and the last output pixel shows the frame's last one.
    std::vector<SdlScreenTap> taps;
    for (int dest = 320; dest <= 2600; dest++) {
        int factor = dest % 640 == 0 ? 0 : sdl_screen_upscale_factor(dest, dest * 3 / 4 + 1);
        taps.assign(static_cast<size_t>(dest), SdlScreenTap{-1, -1, -1});
        sdl_screen_scale_taps(640, factor, dest, taps.data());
        int previous_first = 0, previous_last = 0;
        for (int x = 0; x < dest; x++) {
            const SdlScreenTap& tap = taps[static_cast<size_t>(x)];
            ASSERT_TRUE(tap.first >= previous_first && tap.first <= 639) << dest << " x" << x;
            ASSERT_TRUE(tap.weight >= 0 && tap.weight < 256) << dest << " x" << x;
            ASSERT_EQ(tap.second, tap.weight == 0 ? tap.first : tap.first + 1) << dest << " x" << x;
            ASSERT_TRUE(dest < 640 || tap.first <= previous_last + 1) << dest << " x" << x;
            previous_first = tap.first;
            previous_last = tap.second;
        }
        EXPECT_EQ(taps.back().second, 639) << dest;
    }
}
