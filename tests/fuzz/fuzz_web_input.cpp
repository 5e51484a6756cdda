// The browser's input events in any order and with any values (key names as the page
// hands them over, motion, buttons, gamepad polls, reads at any speed and pace): every
// read gives only held or released and at most a read's counts, and a focus loss leaves
// nothing held.
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
        switch (next() % 9) {
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
        case 5: {
            int16_t axes[PAD_AXES];
            for (int16_t& axis : axes) axis = static_cast<int16_t>(next() << 8 | next());
            uint8_t held = next();
            web_gamepad_poll(axes, held & 1, held & 2, held & 4);
            break;
        }
        case 6: {
            // The game's ranges: speed 0.1 .. 10, pace 0 .. 1000, dead zone 0 .. 0.9.
            PlatformSettings settings = {false, next() * 4, 0.1 + next() / 25.5, next() / 283.0, 0.1 + next() / 25.5,
                                         (next() & 1) != 0};
            web_input_configure(&settings);
            break;
        }
        case 7:
            web_keys_read(keys, next() & 1);
            for (uint8_t k : keys)
                if (k != 0 && k != KEY_HELD) std::abort();
            break;
        default:
            web_mouse_read(next() & 1, &dx, &dy, buttons);
            if ((buttons[0] & ~KEY_HELD) != 0 || (buttons[1] & ~KEY_HELD) != 0) std::abort();
            if (std::abs(dx) > motion_per_read || std::abs(dy) > motion_per_read) std::abort();
            break;
        }
    }
    // Focus lost: nothing reads held, no motion is left.
    web_input_release_all();
    uint8_t keys[256], buttons[2];
    int32_t dx = 1, dy = 1;
    web_keys_read(keys, true);
    check_released(keys, 256);
    web_mouse_read(false, &dx, &dy, buttons);
    check_released(buttons, 2);
    if (dx != 0 || dy != 0) std::abort();
    return 0;
}
