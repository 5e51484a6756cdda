// The browser's input between two reads of the game: key names to set-1 codes, and the
// page's events wired to the native key queues, flick carry and gamepad mapping (those
// are checked on their own in input_carry_test.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/web/web_input.h"

TEST(WebInput, KeyNamesToScanCodes)
{
    const struct { const char* code; uint8_t scan; } cases[] = {
        {"Escape", 0x01}, {"KeyP", 0x19},       {"F1", 0x3B},          {"F4", 0x3E},
        {"F8", 0x42},     {"F10", 0x44},        {"F11", 0x57},         {"F12", 0x58},
        {"PrintScreen", 0xB7}, {"Enter", 0x1C}, {"NumpadEnter", 0x9C}, {"AltRight", 0xB8},
        {"ArrowUp", 0xC8}, {"Sleep", 0xDF},
        {"keyp", 0}, {"F", 0}, {"F44", 0}, {"Unidentified", 0}, {"", 0}, {nullptr, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(web_scan_code(c.code), c.scan) << (c.code ? c.code : "null");
}

// Steps, one letter each: 'd'/'u' the P key down/up, 'l'/'L' the left button down/up,
// 'm' a middle click, 's'/'a'/'b' a gamepad poll holding Start/A/Back, 'n' one holding
// nothing, 'p' pauses, 'x' the focus lost; 'r' a keyboard and mouse read, written as
// P's state, F4's state, then the buttons ('H' held, '-' not).
std::string play(const char* steps)
{
    web_input_release_all();
    std::string seen;
    bool paused = false;
    const int16_t still[PAD_AXES] = {};
    for (const char* step = steps; *step; step++) {
        switch (*step) {
        case 'd': web_key_down(SCAN_P); break;
        case 'u': web_key_up(SCAN_P); break;
        case 'l': web_mouse_button(0, true); break;
        case 'L': web_mouse_button(0, false); break;
        case 'm': web_mouse_button(1, true); break;
        case 's': web_gamepad_poll(still, true, false, false); break;
        case 'a': web_gamepad_poll(still, false, true, false); break;
        case 'b': web_gamepad_poll(still, false, false, true); break;
        case 'n': web_gamepad_poll(still, false, false, false); break;
        case 'p': paused = true; break;
        case 'x': web_input_release_all(); break;
        case 'r': {
            uint8_t keys[256], buttons[2];
            int32_t dx, dy;
            web_keys_read(keys, paused);
            web_mouse_read(paused, &dx, &dy, buttons);
            for (uint8_t value : {keys[SCAN_P], keys[SCAN_F4], buttons[0], buttons[1]})
                seen += value == KEY_HELD ? 'H' : value == 0 ? '-' : '?';
            seen += ' ';
            break;
        }
        }
    }
    return seen;
}

TEST(WebInput, KeysButtonsAndGamepadButtonsReadAsNatively)
{
    const struct { const char* name; const char* steps; const char* reads; } cases[] = {
        {"a tap between reads reads held once", "durr", "H--- ---- "},
        {"let go and pressed again: each change in turn", "drudurrr", "H--- ---- H--- ---- "},
        {"a left click between reads", "lLrr", "--H- ---- "},
        {"the middle button is no game button", "mr", "---- "},
        {"gamepad Start is P, held while held", "srrnr", "H--- H--- ---- "},
        {"gamepad A is P only while paused", "arnparr", "---- ---- H--- "},
        {"gamepad Back is F4", "bnrr", "-H-- ---- "},
        {"the focus lost lets go and drops taps", "dlsxr", "---- "},
    };
    for (const auto& c : cases) EXPECT_EQ(play(c.steps), c.reads) << c.name;
}

TEST(WebInput, MotionIsScaledAndHandedOutAHundredARead)
{
    const struct {
        const char* name;
        double speed;
        int32_t move;             // page pixels before the first read
        int16_t left_x, right_x;  // the gamepad's sticks, held over every read
        bool paused;
        bool left_button;
        int32_t reads[3][2];  // dx, and 1 when the left (-1 the right) button reads held
    } cases[] = {
        {"half speed carries the half", 0.5, 3, 0, 0, false, false, {{1, 0}, {0, 0}, {0, 0}}},
        {"negative truncates toward zero", 0.5, -3, 0, 0, false, false, {{-1, 0}, {0, 0}, {0, 0}}},
        {"a flick of 250 in three reads", 1.0, 250, 0, 0, false, false, {{100, 0}, {100, 0}, {50, 0}}},
        {"beyond 32 bits is clamped, not wrapped", 1.0, INT32_MAX, 0, 0, false, false,
         {{100, 0}, {100, 0}, {100, 0}}},
        {"the left stick pushes the ball", 1.0, 0, 32767, 0, false, false, {{20, 0}, {20, 0}, {20, 0}}},
        {"the right stick turns with the right button", 1.0, 0, 0, -32768, false, false,
         {{-20, -1}, {-20, -1}, {-20, -1}}},
        {"the gamepad is quiet while paused", 1.0, 0, 32767, 0, true, false, {{0, 0}, {0, 0}, {0, 0}}},
        {"a mouse button held silences the gamepad", 1.0, 0, 32767, 0, false, true, {{0, 1}, {0, 1}, {0, 1}}},
    };
    for (const auto& c : cases) {
        web_input_release_all();
        PlatformSettings settings = {false, 60, c.speed, 0.2, 1.0, false};
        web_input_configure(&settings);
        web_mouse_move(c.move, 0);
        if (c.move == INT32_MAX) web_mouse_move(c.move, 0);
        if (c.left_button) web_mouse_button(0, true);
        int16_t axes[PAD_AXES] = {c.left_x, 0, c.right_x, 0, 0, 0};
        for (int read = 0; read < 3; read++) {
            web_gamepad_poll(axes, false, false, false);
            int32_t dx = 0, dy = 0;
            uint8_t buttons[2];
            web_mouse_read(c.paused, &dx, &dy, buttons);
            int held = buttons[0] == KEY_HELD ? 1 : buttons[1] == KEY_HELD ? -1 : 0;
            EXPECT_EQ(dx, c.reads[read][0]) << c.name << ", read " << read;
            EXPECT_EQ(dy, 0) << c.name << ", read " << read;
            EXPECT_EQ(held, c.reads[read][1]) << c.name << ", read " << read;
        }
    }
}
