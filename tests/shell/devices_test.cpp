// The display and input devices on the scripted platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/display.h"
#include "shell/input.h"

namespace {

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        shutdown_display();
        script_reset();
        ASSERT_TRUE(init_display());
    }
};

int pixels_of(int index) { return static_cast<int>(std::count(frame_buffer, frame_buffer + SCREEN_PIXELS, index)); }

// The messages are checked end to end; here, what a failed start-up leaves to release.
TEST_F(Display, ShutdownReleasesWhatInitCreatedOnce)
{
    // Every step init checks fails in turn; a failing lock is not checked, so there all succeed.
    for (int failing = SCRIPT_OP_REGISTER_WINDOW_CLASS; failing <= SCRIPT_OP_LOCK; failing++) {
        shutdown_display();
        script_reset();
        script_fail(static_cast<ScriptOp>(failing), failing == SCRIPT_OP_LOCK ? 0 : 1);
        EXPECT_EQ(init_display(), failing == SCRIPT_OP_LOCK) << failing;
        EXPECT_EQ(script_calls(SCRIPT_OP_HIDE_CURSOR), failing == SCRIPT_OP_LOCK) << failing;
        shutdown_display();
        shutdown_display();
        EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_DISPLAY), failing > SCRIPT_OP_CREATE_DISPLAY) << failing;
        EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_PRIMARY_SURFACE), failing > SCRIPT_OP_CREATE_PRIMARY_SURFACE)
            << failing;
        EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_BACK_BUFFER), failing > SCRIPT_OP_GET_BACK_BUFFER) << failing;
    }
}

TEST_F(Display, TextIsClippedAtEveryEdgePlacedByItsCornerAndSkippedWithoutASurface)
{
    const int red = nearest_palette_index(255, 0, 0);
    clear_frame(0);
    draw_text("H", 100, 100, 255, 0, 0);
    const int whole = pixels_of(red);
    const struct { const char* name; int x, y; bool partly; } cases[] = {
        {"left of the screen", -8, 0, false}, {"right of it", 640, 0, false},   {"below it", 0, 480, false},
        {"above it", 0, -16, false},          {"top left corner", -4, -8, true}, {"bottom right corner", 636, 472, true},
        {"left edge", -2, 100, true},         {"right edge", 636, 100, true},    {"x near INT_MAX", 2147483600, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clear_frame(0);
        draw_text("H", c.x, c.y, 0x1FF, 0x100, 0x100);  // only the low 8 bits of a colour count
        int lit = pixels_of(red), outside = 0;  // outside the glyph's 8 x 16 box: wrapped to another row
        for (int64_t i = 0; i < SCREEN_PIXELS; i++) {
            const int64_t x = i % 640, y = i / 640;
            outside += frame_buffer[i] == red && (x < c.x || x >= c.x + 8LL || y < c.y || y >= c.y + 16LL);
        }
        EXPECT_EQ(lit + pixels_of(0), SCREEN_PIXELS);
        EXPECT_TRUE(c.partly ? lit > 0 && lit < whole : lit == 0) << lit;
        EXPECT_EQ(outside, 0);
    }
    // Without a surface to draw on, the frame stays as it was and is locked again.
    clear_frame(7);
    int locks = script_calls(SCRIPT_OP_LOCK), texts = overlay_text_count();
    script_fail(SCRIPT_OP_BEGIN_TEXT, 1);
    draw_text("HELLO", 10, 10, 255, 255, 0);
    EXPECT_EQ(script_calls(SCRIPT_OP_LOCK), locks + 1);
    EXPECT_EQ(frame_buffer, script_frame());
    EXPECT_EQ(pixels_of(7), SCREEN_PIXELS);
    EXPECT_EQ(overlay_text_count(), texts);
}

TEST_F(Display, ClearedWithDepthBelowEverythingAndALostSurfaceRestored)
{
    EXPECT_EQ(script_palette()[251][0], 219);  // the palette reached the display
    depth_buffer_cleared = false;
    clear_frame(0x1FF);  // the low byte is the colour
    EXPECT_EQ(pixels_of(0xFF), SCREEN_PIXELS);
    EXPECT_TRUE(depth_buffer_cleared);
    EXPECT_EQ(depth_buffer[SCREEN_PIXELS - 1], clear_depth);  // what the renderer takes as farther than anything
    script_fail(SCRIPT_OP_FLIP, 1);
    present_frame();  // restored within this very call, the frame not shown
    EXPECT_EQ(std::pair(script_calls(SCRIPT_OP_RESTORE), script_presents()), std::pair(1, 0));
    present_frame();
    EXPECT_EQ(std::pair(script_calls(SCRIPT_OP_RESTORE), script_presents()), std::pair(1, 1));
    // A frame that cannot be locked is drawn somewhere harmless, never through null.
    script_fail(SCRIPT_OP_LOCK, 1);
    present_frame();
    ASSERT_NE(frame_buffer, nullptr);
    EXPECT_NE(frame_buffer, script_frame());
    clear_frame(3);
    present_frame();
    EXPECT_EQ(frame_buffer, script_frame());
}

TEST(Input, InitAndReleaseStopAtTheFirstFailureInOrder)
{
    const ScriptOp steps[5] = {SCRIPT_OP_CREATE_INPUT, SCRIPT_OP_CREATE_MOUSE, SCRIPT_OP_ACQUIRE_MOUSE,
                               SCRIPT_OP_CREATE_KEYBOARD, SCRIPT_OP_ACQUIRE_KEYBOARD};
    for (int failing = 0; failing <= 5; failing++) {  // 5: none fails
        SCOPED_TRACE(failing);
        script_reset();
        if (failing < 5) script_fail(steps[failing], 1);
        EXPECT_EQ(init_input(), failing == 5);
        for (int step = 0; step < 5; step++) EXPECT_EQ(script_calls(steps[step]), step <= failing) << step;
    }
    script_fail(SCRIPT_OP_UNACQUIRE_MOUSE, 1);
    EXPECT_FALSE(release_input());
    EXPECT_EQ(script_calls(SCRIPT_OP_UNACQUIRE_KEYBOARD), 0);  // the keyboard stays acquired
    script_fail(SCRIPT_OP_UNACQUIRE_KEYBOARD, 1);
    EXPECT_FALSE(release_input());
    EXPECT_TRUE(release_input());
}

// Focus away in frame 1: reads fail and leave the caller's outputs; the first read after
// its return still fails but acquires the device again, so the next one succeeds.
TEST(Input, AFailedReadLeavesTheOutputsAndAcquiresAgain)
{
    script_reset();
    ASSERT_TRUE(script_load_text("1 -7 250 L 3E\n2 0 0 - 01\n3 0 0 - 01\n4 0 0 R 01\n", nullptr, 0));
    ASSERT_TRUE(init_input());
    uint8_t keys[256] = {};
    using Mouse = std::array<int32_t, 4>;  // dx, dy, button 0, button 1
    Mouse mouse = {};
    for (int frame = 0; frame < 4; frame++) {
        SCOPED_TRACE(frame);
        script_set_focus(frame != 1);
        EXPECT_EQ(read_keyboard(keys), frame == 0 || frame == 3);
        EXPECT_EQ(read_mouse(&mouse[0], &mouse[1], &mouse[2], &mouse[3]), frame == 0 || frame == 3);
        EXPECT_EQ(keys[SCAN_F4], frame < 3 ? KEY_HELD : 0);
        EXPECT_EQ(keys[SCAN_ESCAPE], frame < 3 ? 0 : KEY_HELD);
        EXPECT_EQ(mouse, (frame < 3 ? Mouse{-7, 250, 0x80, 0} : Mouse{0, 0, 0, 0x80}));
    }
}

TEST(Input, FunctionKeysToggleOnRelease)
{
    // Each step holds the listed keys for one read; flags are checked after it.
    using Steps = std::vector<std::pair<std::vector<int>, int>>;
    const std::pair<const char*, Steps> cases[] = {
        {"F8 held then released", {{{0x42}, 0}, {{0x42}, 0}, {{}, 0x0100}, {{}, 0x0100}}},
        {"F4 twice", {{{0x3E}, 0}, {{}, 0x1000}, {{0x3E}, 0x1000}, {{}, 0}}},
        {"F4 and F8 together", {{{0x3E, 0x42}, 0}, {{}, 0x1100}}},
        {"F1 F9 F10 F11 F12", {{{0x3B, 0x43, 0x44, 0x57, 0x58}, 0}, {{}, 0x80F0}}},
        {"Escape is no switch", {{{0x01}, 0}, {{}, 0}}},
    };
    for (const auto& [name, steps] : cases) {
        SCOPED_TRACE(name);
        debug_flags = function_key_latch = 0;
        int index = 0;
        for (const auto& [held, flags] : steps) {
            uint8_t state[256] = {};
            for (int code : held) state[code] = KEY_HELD;
            poll_function_keys(state);
            EXPECT_EQ(debug_flags, flags) << "step " << index++;
        }
        EXPECT_EQ(function_key_latch, 0);
    }
}

}  // namespace
