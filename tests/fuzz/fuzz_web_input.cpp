// The browser's input events in any order and with any values (key names as the page
// hands them over, motion, buttons, reads at any speed): every read gives only held or
// released, and a focus loss leaves nothing held.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/web/web_input.h"

namespace {

void check_released(const uint8_t* state, int count)
{
    for (int i = 0; i < count; i++)
        if (state[i] != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    web_input_release_all();
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        uint8_t keys[256];
        uint8_t buttons[2];
        int32_t dx = 0, dy = 0;
        switch (next() % 7) {
        case 0: web_key_down(next()); break;
        case 1: web_key_up(next()); break;
        case 2: {
            std::string name;
            for (uint8_t c = next(); c != 0 && name.size() < 32; c = next()) name.push_back(static_cast<char>(c));
            web_key_down(web_scan_code(name.c_str()));
            break;
        }
        case 3: {
            int32_t move[2];
            uint8_t bytes[8];
            for (uint8_t& b : bytes) b = next();
            std::memcpy(move, bytes, sizeof move);
            web_mouse_move(move[0], move[1]);
            break;
        }
        case 4: {
            uint8_t b = next();
            web_mouse_button(b >> 1, (b & 1) != 0);
            break;
        }
        case 5:
            web_keys_read(keys);
            for (uint8_t k : keys)
                if (k != 0 && k != KEY_HELD) std::abort();
            break;
        default: {
            double speed = 0.1 + next() / 25.5;  // the game's 0.1 .. 10
            web_mouse_read(speed, &dx, &dy, buttons);
            if ((buttons[0] & ~KEY_HELD) != 0 || (buttons[1] & ~KEY_HELD) != 0) std::abort();
            break;
        }
        }
    }
    // Focus lost: nothing reads held, no motion is left.
    web_input_release_all();
    uint8_t keys[256], buttons[2];
    int32_t dx = 1, dy = 1;
    web_keys_read(keys);
    check_released(keys, 256);
    web_mouse_read(1.0, &dx, &dy, buttons);
    check_released(buttons, 2);
    if (dx != 0 || dy != 0) std::abort();
    return 0;
}
