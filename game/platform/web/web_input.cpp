#include "platform/web/web_input.h"

#include <cstring>

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

KeyQueue keys[256];
KeyQueue buttons_seen[2];
KeyQueue pad_start, pad_a, pad_back;
int16_t pad_axes[PAD_AXES];
double pad_carry[2];

double mouse_speed = 1.0;
int64_t motion_limit = motion_carry_limit(60);
GamepadFeel feel = {0.2, 1.0, false};
int64_t page_x, page_y;   // page pixels not yet read
double speed_x, speed_y;  // what scaling by the mouse speed has not yet passed on
MotionCarry flick;        // motion beyond one read's counts

// Page motion is kept within the 32-bit range the scaling takes.
constexpr int64_t page_limit = 0x7FFFFFFF;

int64_t add_page_motion(int64_t sum, int32_t delta)
{
    int64_t total = sum + delta;
    return total > page_limit ? page_limit : total < -page_limit ? -page_limit : total;
}

}  // namespace

uint8_t web_scan_code(const char* code)
{
    if (!code) return 0;
    for (const KeyName& key : key_names)
        if (std::strcmp(key.code, code) == 0) return key.set1;
    return 0;
}

void web_input_configure(const PlatformSettings* settings)
{
    mouse_speed = settings->mouse_speed > 0 ? settings->mouse_speed : 1.0;
    motion_limit = motion_carry_limit(settings->frames_per_second);
    feel = {settings->gamepad_dead_zone, settings->gamepad_stick_speed, settings->gamepad_invert_tilt};
}

void web_key_down(uint8_t scan_code)
{
    if (scan_code != 0) key_queue_change(&keys[scan_code], true);
}

void web_key_up(uint8_t scan_code)
{
    if (scan_code != 0) key_queue_change(&keys[scan_code], false);
}

void web_mouse_move(int32_t dx, int32_t dy)
{
    page_x = add_page_motion(page_x, dx);
    page_y = add_page_motion(page_y, dy);
}

void web_mouse_button(int button, bool down)
{
    if (button == 0 || button == 2) key_queue_change(&buttons_seen[button / 2], down);
}

void web_gamepad_poll(const int16_t axes[PAD_AXES], bool start, bool a, bool back)
{
    for (int axis = 0; axis < PAD_AXES; axis++) pad_axes[axis] = axes[axis];
    key_queue_change(&pad_start, start);
    key_queue_change(&pad_a, a);
    key_queue_change(&pad_back, back);
}

void web_keys_read(uint8_t state[256], bool paused)
{
    for (int code = 0; code < 256; code++) state[code] = key_queue_read(&keys[code]) ? KEY_HELD : 0;
    bool start = key_queue_read(&pad_start);
    bool a = key_queue_read(&pad_a);
    if (start || (a && paused)) state[SCAN_P] = KEY_HELD;
    if (key_queue_read(&pad_back)) state[SCAN_F4] = KEY_HELD;
}

void web_mouse_read(bool pointer_free, int32_t* dx, int32_t* dy, uint8_t buttons[2])
{
    motion_carry_add(&flick, scale_mouse_motion(static_cast<int32_t>(page_x), mouse_speed, &speed_x),
                     scale_mouse_motion(static_cast<int32_t>(page_y), mouse_speed, &speed_y), motion_limit);
    page_x = page_y = 0;
    bool left = key_queue_read(&buttons_seen[0]);
    bool right = key_queue_read(&buttons_seen[1]);
    PadMotion pad = pad_motion(pad_axes, &feel, pad_carry);
    mouse_read_finish(&flick, pad, pointer_free, motion_limit, left, right, dx, dy, buttons);
}

void web_drop_motion() { flick = {0, 0}; }

void web_input_release_all()
{
    for (KeyQueue& key : keys) key_queue_reset(&key);
    for (KeyQueue& button : buttons_seen) key_queue_reset(&button);
    key_queue_reset(&pad_start);
    key_queue_reset(&pad_a);
    key_queue_reset(&pad_back);
    for (int16_t& axis : pad_axes) axis = 0;
    pad_carry[0] = pad_carry[1] = 0;
    page_x = page_y = 0;
    speed_x = speed_y = 0;
    flick = {0, 0};
}
