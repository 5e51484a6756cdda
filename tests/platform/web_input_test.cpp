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

TEST(WebInput, KeysAndButtonsReadHeldOnceForEveryPress)
{
    // Events: 'd' and 'u' the P key down and up; 'L', 'M', 'R', 'F' the left, middle, right
    // and fourth buttons down, lower case up; 'x' focus lost; '/' a read. Each read as what
    // it gives held: "P" the key, "L" and "R" the game's buttons, "-" nothing.
    const struct {
        const char* name;
        const char* events;
        const char* reads;
    } cases[] = {
        {"a tap between two reads", "du//", "P -"},
        {"held over reads", "d//u/", "P P -"},
        {"a repeat while held is no new press", "d/du/", "P -"},
        {"pressed twice between reads reads held once", "dudu//", "P -"},
        {"let go and pressed again between reads", "d/udu//", "P P -"},
        {"focus lost lets go and drops taps", "dux/dx/", "- -"},
        {"left held", "L//", "L L"},
        {"right tapped between reads", "Rr//", "R -"},
        {"middle and fourth are no game buttons", "MFmf/MF/", "- -"},
        {"buttons and keys together, focus lost", "dLR/x/", "PLR -"},
        {"focus lost drops button taps too", "LlRrx/", "-"},
    };
    const std::string buttons_down_up = "LMRFlmrf";
    for (const auto& c : cases) {
        web_input_release_all();
        std::string reads;
        for (const char* e = c.events; *e; e++) {
            if (*e == 'd') web_key_down(SCAN_P);
            if (*e == 'u') web_key_up(SCAN_P);
            size_t button = buttons_down_up.find(*e);
            if (button != std::string::npos) web_mouse_button(static_cast<int>(button % 4), button < 4);
            if (*e == 'x') web_input_release_all();
            if (*e != '/') continue;
            uint8_t keys[256], buttons[2];
            int32_t dx, dy;
            web_keys_read(keys);
            web_mouse_read(1.0, &dx, &dy, buttons);
            std::string read;
            for (int code = 0; code < 256; code++)
                if (keys[code]) read += code == SCAN_P && keys[code] == KEY_HELD ? "P" : "?";
            if (buttons[0]) read += buttons[0] == KEY_HELD ? "L" : "?";
            if (buttons[1]) read += buttons[1] == KEY_HELD ? "R" : "?";
            reads.append(reads.empty() ? "" : " ").append(read.empty() ? "-" : read);
        }
        EXPECT_EQ(reads, c.reads) << c.name;
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
        {"beyond 32 bits is clamped", 1.0, {{INT32_MAX, INT32_MAX}}, {INT32_MAX}},
        {"the carry kept over reads", 0.5, {{3}, {1}}, {1, 1}},
    };
    for (const auto& c : cases) {
        web_input_release_all();
        int32_t dx = 0, dy = 0;
        uint8_t buttons[2];
        for (size_t read = 0; read <= c.reads_x.size(); read++) {
            if (read < c.moves_x.size())
                for (int32_t move : c.moves_x[read]) web_mouse_move(move, -move);
            web_mouse_read(c.speed, &dx, &dy, buttons);
            int32_t x = read < c.reads_x.size() ? c.reads_x[read] : 0;
            EXPECT_EQ(std::pair(dx, dy), std::pair(x, -x)) << c.name << " read " << read;
        }
    }
}
