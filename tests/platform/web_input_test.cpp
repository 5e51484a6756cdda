// The browser's keys and mouse between two reads of the game: names to set-1 codes, taps
// that read held exactly once, motion that adds up and scales with its carry.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

TEST(WebInput, KeysReadHeldOnceForEveryPress)
{
    // Events on the P key: 'd' down, 'u' up, 'x' focus lost; 'r' a read, followed by the
    // state it must give ('H' held, '-' released).
    const struct { const char* name; const char* steps; } cases[] = {
        {"tap between two reads", "durHr-"},
        {"held over reads", "drHrHur-"},
        {"a repeat while held is no new press", "drHdur-"},
        {"pressed twice between reads reads held once", "dudurHr-"},
        {"let go and pressed again between reads", "drHudurHr-"},
        {"focus lost lets go and drops taps", "duxr-dxr-"},
    };
    for (const auto& c : cases) {
        web_input_release_all();
        std::string steps = c.steps, seen, expected;
        for (size_t i = 0; i < steps.size(); i++) {
            if (steps[i] == 'd') web_key_down(SCAN_P);
            if (steps[i] == 'u') web_key_up(SCAN_P);
            if (steps[i] == 'x') web_input_release_all();
            if (steps[i] != 'r') continue;
            uint8_t state[256];
            web_keys_read(state);
            seen += state[SCAN_P] == KEY_HELD ? 'H' : state[SCAN_P] == 0 ? '-' : '?';
            EXPECT_EQ(state[SCAN_F4], 0) << c.name;
            expected += steps[++i];
        }
        EXPECT_EQ(seen, expected) << c.name;
    }
}

TEST(WebInput, MouseMotionAddsUpAndScalesWithItsCarry)
{
    const struct {
        const char* name;
        double speed;
        std::vector<std::vector<int32_t>> moves_x;  // the motion events before each read
        std::vector<int32_t> reads_x;               // what each read gives; one more read gives 0
    } cases[] = {
        {"motion between reads adds up", 1.0, {{3, -1, 5}}, {7}},
        {"half speed carries the half", 0.5, {{3, 3, 1}}, {3}},
        {"half speed one at a time", 0.5, {{1}}, {0}},
        {"negative truncates toward zero", 0.5, {{-3}}, {-1}},
        {"beyond 32 bits is clamped", 1.0, {{INT32_MAX, INT32_MAX}}, {INT32_MAX}},
        {"the carry kept over reads", 0.5, {{3}, {1}}, {1, 1}},
    };
    for (const auto& c : cases) {
        web_input_release_all();
        int32_t dx = 0, dy = 0;
        uint8_t buttons[2] = {1, 1};
        for (size_t read = 0; read <= c.reads_x.size(); read++) {
            if (read < c.moves_x.size())
                for (int32_t move : c.moves_x[read]) web_mouse_move(move, -move);
            web_mouse_read(c.speed, &dx, &dy, buttons);
            int32_t x = read < c.reads_x.size() ? c.reads_x[read] : 0;
            EXPECT_EQ(std::pair(dx, dy), std::pair(x, -x)) << c.name << " read " << read;
            EXPECT_EQ(buttons[0] | buttons[1], 0) << c.name;
        }
    }
}

TEST(WebInput, ButtonsLeftAndRightWithTapsKept)
{
    const struct { const char* name; int button; bool tap; uint8_t left, right; } cases[] = {
        {"left held", 0, false, KEY_HELD, 0},
        {"right tapped between reads", 2, true, 0, KEY_HELD},
        {"middle is no game button", 1, false, 0, 0},
        {"fourth is no game button", 3, true, 0, 0},
    };
    for (const auto& c : cases) {
        web_input_release_all();
        web_mouse_button(c.button, true);
        if (c.tap) web_mouse_button(c.button, false);
        int32_t dx, dy;
        uint8_t buttons[2];
        web_mouse_read(1.0, &dx, &dy, buttons);
        EXPECT_EQ(buttons[0], c.left) << c.name;
        EXPECT_EQ(buttons[1], c.right) << c.name;
        web_mouse_read(1.0, &dx, &dy, buttons);
        EXPECT_EQ(buttons[0] | buttons[1], c.tap ? 0 : (c.left | c.right)) << c.name << ": the next read";
    }
}
