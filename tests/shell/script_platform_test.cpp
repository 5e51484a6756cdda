#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/script/script_platform.h"

namespace {

TEST(ScriptPlatform, ParsesGoodLinesAndNamesTheBadOne)
{
    struct Case {
        const char* text;
        const char* error;  // null: accepted
    } cases[] = {
        {"# comment only\n\n   \n", nullptr},
        {"0 0 0 - -", nullptr},
        {"4294967295 -2147483648 2147483647 LR 01,3E,42,b7\r\n", nullptr},
        {"1 0 0 - 1,A", nullptr},
        {"1 0 0 - - # trailing comment", nullptr},
        {"4294967296 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
        {"-1 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
        {"\n1 0 2147483648 - -", "script line 2: DX and DY must be signed 32-bit decimal numbers"},
        {"1 0 0 X -", "script line 1: BUTTONS must be -, L, R or LR"},
        {"1 0 0 RL -", "script line 1: BUTTONS must be -, L, R or LR"},
        {"1 0 0 - 100", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 - 01,", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 - +1", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 - 0x1", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 -", "script line 1: expected five fields: TICK DX DY BUTTONS KEYS"},
        {"1 0 0 - - -", "script line 1: too many fields (expected TICK DX DY BUTTONS KEYS)"},
    };
    for (const Case& c : cases) {
        script_reset();
        char error[128] = "";
        bool loaded = script_load_text(c.text, error, sizeof error);
        EXPECT_EQ(loaded, c.error == nullptr) << c.text;
        if (c.error) {
            EXPECT_STREQ(error, c.error) << c.text;
        }
    }
}

TEST(ScriptPlatform, TicksFollowFramesAndCountOnOutsideThem)
{
    script_reset();
    ASSERT_TRUE(script_load_text("5000 3 4 R 01,B7\n", nullptr, 0));
    EXPECT_EQ(platform_ticks(), 1u);  // the first read of a run
    EXPECT_EQ(platform_ticks(), 2u);
    uint8_t keys[256] = {};
    ASSERT_TRUE(platform_read_keyboard(keys));
    EXPECT_EQ(keys[SCAN_ESCAPE], KEY_HELD);
    EXPECT_EQ(keys[SCAN_PRINT_SCREEN], KEY_HELD);
    EXPECT_EQ(keys[0x02], 0);
    EXPECT_EQ(platform_ticks(), 5000u);
    EXPECT_EQ(platform_ticks(), 5000u);
    EXPECT_EQ(platform_calendar_seconds(), 1000000005);
    ASSERT_EQ(platform_flip(), PLATFORM_FLIP_SHOWN);
    EXPECT_EQ(platform_ticks(), 5001u);
    EXPECT_EQ(platform_ticks(), 5002u);
    // Past the script's end: ten milliseconds on, no motion, Escape held.
    ASSERT_TRUE(platform_read_keyboard(keys));
    EXPECT_EQ(platform_ticks(), 5010u);
    EXPECT_EQ(keys[SCAN_ESCAPE], KEY_HELD);
    EXPECT_EQ(keys[SCAN_PRINT_SCREEN], 0);
    int32_t dx = 9, dy = 9;
    uint8_t buttons[2] = {1, 1};
    ASSERT_TRUE(platform_read_mouse(&dx, &dy, buttons));
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(buttons[1], 0);
    ASSERT_TRUE(platform_read_keyboard(keys));
    EXPECT_EQ(platform_ticks(), 5020u);
    EXPECT_EQ(script_frames_begun(), 3);
}

}  // namespace
