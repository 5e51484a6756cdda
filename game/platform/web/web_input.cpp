#include "platform/web/web_input.h"

#include <cstring>

#include "platform/platform.h"
#include "platform/sdl/frame_pace.h"

namespace {

struct KeyName {
    const char* code;
    uint8_t set1;
};

// The KeyboardEvent.code of every key of a standard 105-key keyboard and a few extras,
// with the set-1 code the native game reads for the same key.
constexpr KeyName key_names[] = {
    {"Escape", 0x01},
    {"Digit1", 0x02}, {"Digit2", 0x03}, {"Digit3", 0x04}, {"Digit4", 0x05}, {"Digit5", 0x06},
    {"Digit6", 0x07}, {"Digit7", 0x08}, {"Digit8", 0x09}, {"Digit9", 0x0A}, {"Digit0", 0x0B},
    {"Minus", 0x0C}, {"Equal", 0x0D}, {"Backspace", 0x0E}, {"Tab", 0x0F},
    {"KeyQ", 0x10}, {"KeyW", 0x11}, {"KeyE", 0x12}, {"KeyR", 0x13}, {"KeyT", 0x14},
    {"KeyY", 0x15}, {"KeyU", 0x16}, {"KeyI", 0x17}, {"KeyO", 0x18}, {"KeyP", 0x19},
    {"BracketLeft", 0x1A}, {"BracketRight", 0x1B}, {"Enter", 0x1C}, {"ControlLeft", 0x1D},
    {"KeyA", 0x1E}, {"KeyS", 0x1F}, {"KeyD", 0x20}, {"KeyF", 0x21}, {"KeyG", 0x22},
    {"KeyH", 0x23}, {"KeyJ", 0x24}, {"KeyK", 0x25}, {"KeyL", 0x26},
    {"Semicolon", 0x27}, {"Quote", 0x28}, {"Backquote", 0x29}, {"ShiftLeft", 0x2A}, {"Backslash", 0x2B},
    {"KeyZ", 0x2C}, {"KeyX", 0x2D}, {"KeyC", 0x2E}, {"KeyV", 0x2F}, {"KeyB", 0x30},
    {"KeyN", 0x31}, {"KeyM", 0x32},
    {"Comma", 0x33}, {"Period", 0x34}, {"Slash", 0x35}, {"ShiftRight", 0x36},
    {"NumpadMultiply", 0x37}, {"AltLeft", 0x38}, {"Space", 0x39}, {"CapsLock", 0x3A},
    {"F1", 0x3B}, {"F2", 0x3C}, {"F3", 0x3D}, {"F4", 0x3E}, {"F5", 0x3F},
    {"F6", 0x40}, {"F7", 0x41}, {"F8", 0x42}, {"F9", 0x43}, {"F10", 0x44},
    {"NumLock", 0x45}, {"ScrollLock", 0x46},
    {"Numpad7", 0x47}, {"Numpad8", 0x48}, {"Numpad9", 0x49}, {"NumpadSubtract", 0x4A},
    {"Numpad4", 0x4B}, {"Numpad5", 0x4C}, {"Numpad6", 0x4D}, {"NumpadAdd", 0x4E},
    {"Numpad1", 0x4F}, {"Numpad2", 0x50}, {"Numpad3", 0x51}, {"Numpad0", 0x52}, {"NumpadDecimal", 0x53},
    {"IntlBackslash", 0x56}, {"F11", 0x57}, {"F12", 0x58},
    {"F13", 0x64}, {"F14", 0x65}, {"F15", 0x66},
    {"KanaMode", 0x70}, {"IntlRo", 0x73}, {"Convert", 0x79}, {"NonConvert", 0x7B},
    {"IntlYen", 0x7D}, {"NumpadEqual", 0x8D},
    {"NumpadEnter", 0x9C}, {"ControlRight", 0x9D}, {"AudioVolumeMute", 0xA0},
    {"AudioVolumeDown", 0xAE}, {"AudioVolumeUp", 0xB0},
    {"NumpadDivide", 0xB5}, {"PrintScreen", 0xB7}, {"AltRight", 0xB8},
    {"Pause", 0xC5}, {"Home", 0xC7}, {"ArrowUp", 0xC8}, {"PageUp", 0xC9},
    {"ArrowLeft", 0xCB}, {"ArrowRight", 0xCD}, {"End", 0xCF}, {"ArrowDown", 0xD0},
    {"PageDown", 0xD1}, {"Insert", 0xD2}, {"Delete", 0xD3},
    {"MetaLeft", 0xDB}, {"MetaRight", 0xDC}, {"ContextMenu", 0xDD}, {"Power", 0xDE}, {"Sleep", 0xDF},
};

bool key_held[256];
bool key_tapped[256];  // went down since the last read

bool button_held[2];
bool button_tapped[2];
int64_t motion_x, motion_y;  // page pixels not yet read
double carry_x, carry_y;     // what scaling has not yet passed on

// Motion is kept within the 32-bit range the read hands out.
constexpr int64_t motion_limit = 0x7FFFFFFF;

int64_t add_motion(int64_t sum, int32_t delta)
{
    int64_t total = sum + delta;
    return total > motion_limit ? motion_limit : total < -motion_limit ? -motion_limit : total;
}

}  // namespace

uint8_t web_scan_code(const char* code)
{
    if (!code) return 0;
    for (const KeyName& key : key_names)
        if (std::strcmp(key.code, code) == 0) return key.set1;
    return 0;
}

void web_key_down(uint8_t scan_code)
{
    if (scan_code == 0) return;
    if (!key_held[scan_code]) key_tapped[scan_code] = true;
    key_held[scan_code] = true;
}

void web_key_up(uint8_t scan_code) { key_held[scan_code] = false; }

void web_keys_read(uint8_t state[256])
{
    for (int code = 0; code < 256; code++) {
        state[code] = key_held[code] || key_tapped[code] ? KEY_HELD : 0;
        key_tapped[code] = false;
    }
}

void web_mouse_move(int32_t dx, int32_t dy)
{
    motion_x = add_motion(motion_x, dx);
    motion_y = add_motion(motion_y, dy);
}

void web_mouse_button(int button, bool down)
{
    int index = button == 0 ? 0 : button == 2 ? 1 : -1;
    if (index < 0) return;
    if (down && !button_held[index]) button_tapped[index] = true;
    button_held[index] = down;
}

void web_mouse_read(double speed, int32_t* dx, int32_t* dy, uint8_t buttons[2])
{
    *dx = scale_mouse_motion(static_cast<int32_t>(motion_x), speed, &carry_x);
    *dy = scale_mouse_motion(static_cast<int32_t>(motion_y), speed, &carry_y);
    motion_x = motion_y = 0;
    for (int i = 0; i < 2; i++) {
        buttons[i] = button_held[i] || button_tapped[i] ? KEY_HELD : 0;
        button_tapped[i] = false;
    }
}

void web_input_release_all()
{
    std::memset(key_held, 0, sizeof key_held);
    std::memset(key_tapped, 0, sizeof key_tapped);
    button_held[0] = button_held[1] = button_tapped[0] = button_tapped[1] = false;
    motion_x = motion_y = 0;
    carry_x = carry_y = 0;
}
