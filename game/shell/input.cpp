// The mouse and the keyboard, polled once per frame, and the function-key switches.
#include "shell/input.h"

#include "platform/platform.h"
#include "render/frame.h"
#include "shell/brightness.h"

uint16_t function_key_latch;

namespace {

// The twelve switches in the order they are handled: F1 first, F12 last.
struct FunctionKey {
    int scan_code;
    uint16_t bit;
};

constexpr FunctionKey function_keys[12] = {
    {0x3B, 0x8000}, {0x3C, 0x4000}, {0x3D, 0x2000}, {0x3E, 0x1000},
    {0x3F, 0x0800}, {0x40, 0x0400}, {0x41, 0x0200}, {0x42, 0x0100},
    {0x43, 0x0080}, {0x44, 0x0040}, {0x57, 0x0020}, {0x58, 0x0010},
};

}  // namespace

bool init_input()
{
    if (!platform_create_input()) return false;
    if (!platform_create_mouse()) return false;
    if (!platform_acquire_mouse()) return false;
    if (!platform_create_keyboard()) return false;
    if (!platform_acquire_keyboard()) return false;
    return true;
}

bool read_mouse(int32_t* dx, int32_t* dy, int32_t* button0, int32_t* button1)
{
    int32_t x = 0;
    int32_t y = 0;
    uint8_t buttons[2] = {0, 0};
    if (!platform_read_mouse(&x, &y, buttons)) {
        // The device loses its acquisition when the window loses focus; ask for it
        // again so that reads work once the player is back. This frame sees no motion.
        platform_acquire_mouse();
        return false;
    }
    *dx = x;
    *dy = y;
    *button0 = buttons[0] & KEY_HELD;
    *button1 = buttons[1] & KEY_HELD;
    return true;
}

bool read_keyboard(uint8_t state[256])
{
    if (!platform_read_keyboard(state)) {
        // Without this, a switch to another program and back would leave the keyboard
        // unreadable for good, and Escape could no longer end the game. The caller
        // keeps the previous state for this frame; the next read can succeed.
        platform_acquire_keyboard();
        return false;
    }
    return true;
}

bool release_input()
{
    if (!platform_unacquire_mouse()) return false;
    return platform_unacquire_keyboard();
}

void poll_function_keys(const uint8_t state[256])
{
    for (const FunctionKey& key : function_keys) {
        if (state[key.scan_code] & KEY_HELD) {
            function_key_latch |= key.bit;
        } else if (function_key_latch & key.bit) {
            // Toggle on release, so holding a key flips its switch only once.
            debug_flags ^= key.bit;
            function_key_latch &= static_cast<uint16_t>(~key.bit);
            // F11's switch is read by nothing in the game; the player's brightness rides on it.
            if (key.scan_code == SCAN_F11) cycle_brightness_level();
        }
    }
}
