#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "shell/input.h"

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        script_reset();
        debug_flags = 0;
        function_key_latch = 0;
    }
};

TEST_F(Input, InitStopsAtTheFirstFailureInOrder)
{
    struct Case {
        ScriptOp failing;
        ScriptOp first_not_called;  // SCRIPT_OP_COUNT: every step ran
    } cases[] = {
        {SCRIPT_OP_CREATE_INPUT, SCRIPT_OP_CREATE_MOUSE},
        {SCRIPT_OP_CREATE_MOUSE, SCRIPT_OP_ACQUIRE_MOUSE},
        {SCRIPT_OP_ACQUIRE_MOUSE, SCRIPT_OP_CREATE_KEYBOARD},
        {SCRIPT_OP_CREATE_KEYBOARD, SCRIPT_OP_ACQUIRE_KEYBOARD},
        {SCRIPT_OP_ACQUIRE_KEYBOARD, SCRIPT_OP_COUNT},
    };
    for (const Case& c : cases) {
        script_reset();
        script_fail(c.failing, 1);
        EXPECT_FALSE(init_input()) << c.failing;
        if (c.first_not_called != SCRIPT_OP_COUNT) {
            EXPECT_EQ(script_calls(c.first_not_called), 0) << c.failing;
        }
    }
    script_reset();
    EXPECT_TRUE(init_input());
}

TEST_F(Input, MouseButtonsAre0x80AndAFailedReadLeavesOutputsAndReacquires)
{
    ASSERT_TRUE(script_load_text("10 -7 250 L -\n20 0 0 R -\n", nullptr, 0));
    uint8_t keys[256];
    int32_t dx = 1, dy = 1, b0 = 1, b1 = 1;
    ASSERT_TRUE(read_keyboard(keys));
    ASSERT_TRUE(read_mouse(&dx, &dy, &b0, &b1));
    EXPECT_EQ(dx, -7);
    EXPECT_EQ(dy, 250);
    EXPECT_EQ(b0, 0x80);
    EXPECT_EQ(b1, 0);
    ASSERT_TRUE(read_mouse(&dx, &dy, &b0, &b1));  // no motion since the last read
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);

    ASSERT_TRUE(read_keyboard(keys));
    script_fail(SCRIPT_OP_READ_MOUSE, 1);
    int acquires = script_calls(SCRIPT_OP_ACQUIRE_MOUSE);
    EXPECT_FALSE(read_mouse(&dx, &dy, &b0, &b1));
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(b0, 0x80);  // untouched
    EXPECT_EQ(script_calls(SCRIPT_OP_ACQUIRE_MOUSE), acquires + 1);
}

TEST_F(Input, KeyboardIsAcquiredAgainAfterFocusReturns)
{
    ASSERT_TRUE(script_load_text("1 0 0 - 3E\n2 0 0 - 01\n3 0 0 - 01\n4 0 0 - 01\n", nullptr, 0));
    ASSERT_TRUE(init_input());
    uint8_t keys[256] = {};
    ASSERT_TRUE(read_keyboard(keys));
    EXPECT_EQ(keys[0x3E], KEY_HELD);

    script_set_focus(false);
    EXPECT_FALSE(read_keyboard(keys));  // the previous state stays
    EXPECT_EQ(keys[0x3E], KEY_HELD);
    EXPECT_EQ(keys[SCAN_ESCAPE], 0);

    script_set_focus(true);
    EXPECT_FALSE(read_keyboard(keys));  // still lost, but this read acquires it again
    EXPECT_TRUE(read_keyboard(keys));
    EXPECT_EQ(keys[SCAN_ESCAPE], KEY_HELD);
    EXPECT_EQ(keys[0x3E], 0);
}

TEST_F(Input, ReleaseStopsWhenTheMouseCannotBeUnacquired)
{
    script_fail(SCRIPT_OP_UNACQUIRE_MOUSE, 1);
    EXPECT_FALSE(release_input());
    EXPECT_EQ(script_calls(SCRIPT_OP_UNACQUIRE_KEYBOARD), 0);
    script_fail(SCRIPT_OP_UNACQUIRE_KEYBOARD, 1);
    EXPECT_FALSE(release_input());
    EXPECT_TRUE(release_input());
}

TEST_F(Input, FunctionKeysToggleOnRelease)
{
    // Each step holds the listed keys for one read; flags are checked after it.
    struct Step {
        std::initializer_list<int> held;
        uint16_t flags;
    };
    struct Case {
        const char* name;
        std::initializer_list<Step> steps;
    } cases[] = {
        {"press and release between reads", {{{}, 0}, {{}, 0}}},
        {"F8 held then released", {{{0x42}, 0}, {{0x42}, 0}, {{}, 0x0100}, {{}, 0x0100}}},
        {"F4 twice", {{{0x3E}, 0}, {{}, 0x1000}, {{0x3E}, 0x1000}, {{}, 0}}},
        {"F4 and F8 together", {{{0x3E, 0x42}, 0}, {{}, 0x1100}}},
        {"F1 and F12", {{{0x3B, 0x58}, 0}, {{}, 0x8010}}},
        {"F11 bit 0x20", {{{0x57}, 0}, {{}, 0x0020}}},
        {"F9 F10", {{{0x43, 0x44}, 0}, {{}, 0x00C0}}},
        {"Escape is no switch", {{{0x01}, 0}, {{}, 0}}},
    };
    for (const Case& c : cases) {
        debug_flags = 0;
        function_key_latch = 0;
        int index = 0;
        for (const Step& step : c.steps) {
            uint8_t state[256] = {};
            for (int code : step.held) state[code] = KEY_HELD;
            poll_function_keys(state);
            EXPECT_EQ(debug_flags, step.flags) << c.name << " step " << index;
            index++;
        }
        EXPECT_EQ(function_key_latch, 0) << c.name;
    }
}

}  // namespace
