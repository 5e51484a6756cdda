// Where the frame goes in a window of any size, and how it is scaled there.
#include <gtest/gtest.h>

#include "platform/sdl/sdl_screen.h"

TEST(SdlScreen, PictureAreaIsTheCentred4By3PartOfTheOutput)
{
    struct Case {
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
    for (const Case& c : cases) {
        SDL_Rect area = sdl_screen_picture_area(c.width, c.height);
        EXPECT_EQ(area.x, c.area.x) << c.width << "x" << c.height;
        EXPECT_EQ(area.y, c.area.y) << c.width << "x" << c.height;
        EXPECT_EQ(area.w, c.area.w) << c.width << "x" << c.height;
        EXPECT_EQ(area.h, c.area.h) << c.width << "x" << c.height;
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
