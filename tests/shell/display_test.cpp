#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/display.h"
#include "shell/font.h"

namespace {

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        shutdown_display();
        script_reset();
    }
    void TearDown() override { shutdown_display(); }
};

// The messages are checked end to end; here, what a failed start-up leaves behind.
TEST_F(Display, ShutdownReleasesWhatInitCreatedOnce)
{
    for (int failing = SCRIPT_OP_REGISTER_WINDOW_CLASS; failing <= SCRIPT_OP_COUNT; failing++) {
        if (failing > SCRIPT_OP_SET_PALETTE && failing != SCRIPT_OP_COUNT) continue;
        shutdown_display();
        script_reset();
        if (failing != SCRIPT_OP_COUNT) script_fail(static_cast<ScriptOp>(failing), 1);
        EXPECT_EQ(init_display(), failing == SCRIPT_OP_COUNT) << failing;
        EXPECT_EQ(script_calls(SCRIPT_OP_HIDE_CURSOR), failing == SCRIPT_OP_COUNT) << failing;
        shutdown_display();
        shutdown_display();
        EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_DISPLAY), failing > SCRIPT_OP_CREATE_DISPLAY) << failing;
        EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_PRIMARY_SURFACE), failing > SCRIPT_OP_CREATE_PRIMARY_SURFACE)
            << failing;
        EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_BACK_BUFFER), failing > SCRIPT_OP_GET_BACK_BUFFER) << failing;
    }
    init_display();
    EXPECT_EQ(frame_buffer, script_frame());
    EXPECT_EQ(script_palette()[251][0], 219);  // the palette reached the display
}

TEST_F(Display, ClearUsesTheLowByteAndPutsDepthBelowEverything)
{
    ASSERT_TRUE(init_display());
    depth_buffer[12345] = 5.0;
    clear_frame(0x1FF);
    for (int i = 0; i < SCREEN_PIXELS; i++) ASSERT_EQ(frame_buffer[i], 0xFF) << i;
    EXPECT_LT(depth_buffer[12345], -4.3e42);
    EXPECT_GT(depth_buffer[12345], -4.4e42);
    EXPECT_LT(depth_buffer[SCREEN_PIXELS - 1], -100.0);  // nearest a face can be drawn
}

TEST_F(Display, TextTakesTheNearestPaletteColour)
{
    ASSERT_TRUE(init_display());
    struct Case {
        int red, green, blue;
        bool red_high, green_high, blue_high;
    } cases[] = {
        {0, 255, 255, false, true, true},    // cyan
        {255, 255, 0, true, true, false},    // yellow
        {0x1FF, 0x100, 0x100, true, false, false},  // only the low 8 bits count
    };
    for (const Case& c : cases) {
        clear_frame(0);
        draw_text("M", 100, 50, c.red, c.green, c.blue);
        int index = -1;
        for (int i = 0; i < SCREEN_PIXELS && index < 0; i++)
            if (frame_buffer[i] != 0) index = frame_buffer[i];
        ASSERT_GE(index, 0);
        EXPECT_EQ(palette[index][0] > 150, c.red_high) << c.red;
        EXPECT_EQ(palette[index][1] > 150, c.green_high) << c.green;
        EXPECT_EQ(palette[index][2] > 150, c.blue_high) << c.blue;
    }
}

TEST_F(Display, TextWithoutASurfaceLeavesTheFrameAndRelocks)
{
    ASSERT_TRUE(init_display());
    clear_frame(7);
    int locks = script_calls(SCRIPT_OP_LOCK);
    script_fail(SCRIPT_OP_BEGIN_TEXT, 1);
    draw_text("HELLO", 10, 10, 255, 255, 0);
    EXPECT_EQ(script_calls(SCRIPT_OP_LOCK), locks + 1);
    EXPECT_EQ(frame_buffer, script_frame());
    for (int i = 0; i < SCREEN_PIXELS; i++) ASSERT_EQ(frame_buffer[i], 7) << i;
    EXPECT_EQ(overlay_text_count(), 0);
    draw_text("HELLO", 10, 10, 255, 255, 0);
    ASSERT_EQ(overlay_text_count(), 1);
    EXPECT_STREQ(overlay_text(0), "HELLO");
}

TEST_F(Display, TextIsClippedAtEveryEdge)
{
    ASSERT_TRUE(init_display());
    struct Case {
        int x, y;
        int expected_pixels;  // lit pixels of one "H"; -1: some but not all
    } cases[] = {{-8, 0, 0}, {640, 0, 0}, {0, 480, 0}, {0, -16, 0}, {-4, -8, -1}, {636, 472, -1}, {2147483600, 0, 0}};
    for (const Case& c : cases) {
        clear_frame(0);
        draw_text("H", c.x, c.y, 255, 255, 0);
        int lit = 0;
        for (int i = 0; i < SCREEN_PIXELS; i++) lit += frame_buffer[i] != 0;
        if (c.expected_pixels < 0) {
            EXPECT_GT(lit, 0) << c.x << "," << c.y;
        } else {
            EXPECT_EQ(lit, c.expected_pixels) << c.x << "," << c.y;
        }
    }
    // The cell's top-left corner sits at the given point: glyph rows land unshifted.
    clear_frame(0);
    draw_text("A", 20, 30, 255, 255, 0);
    const uint8_t* rows = font_glyph('A');
    for (int row = 0; row < FONT_CELL_HEIGHT; row++)
        for (int column = 0; column < FONT_CELL_WIDTH; column++)
            EXPECT_EQ(frame_buffer[(30 + row) * 640 + 20 + column] != 0, (rows[row] & (0x80 >> column)) != 0);
}

TEST_F(Display, LostSurfaceIsRestoredAndTheFrameDropped)
{
    ASSERT_TRUE(init_display());
    script_fail(SCRIPT_OP_FLIP, 1);
    present_frame();
    EXPECT_EQ(script_calls(SCRIPT_OP_RESTORE), 1);
    EXPECT_EQ(script_presents(), 0);
    EXPECT_EQ(frame_buffer, script_frame());
    present_frame();
    EXPECT_EQ(script_calls(SCRIPT_OP_RESTORE), 1);
    EXPECT_EQ(script_presents(), 1);
    // A frame that cannot be locked is drawn somewhere harmless, never through null.
    script_fail(SCRIPT_OP_LOCK, 1);
    present_frame();
    ASSERT_NE(frame_buffer, nullptr);
    EXPECT_NE(frame_buffer, script_frame());
    clear_frame(3);
    present_frame();
    EXPECT_EQ(frame_buffer, script_frame());
}

}  // namespace
