// The browser's keyboard, mouse and gamepads between two reads of the game, kept apart
// from the page so that it can be checked on its own. Nothing the player does is lost,
// as natively: keys and buttons through the native platform's key queues (a tap between
// two reads reads held once), motion beyond a read's 100 counts carried to the next
// reads, and the gamepad turned into keys and motion with the native mapping.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/sdl/input_carry.h"

// The mouse speed, the flick bound for the pace, and the gamepad's feel.
void web_input_configure(const PlatformSettings* settings);

// The set-1 scan code of a key by its KeyboardEvent.code name ("KeyP", "F4", "Escape");
// 0 for a key the game has no code for, or a null name.
uint8_t web_scan_code(const char* code);

// A key went down or up; repeats of a held key change nothing.
void web_key_down(uint8_t scan_code);
void web_key_up(uint8_t scan_code);

// Pointer motion in page pixels, and a button (0 left, 2 right as the page numbers them;
// others are ignored) down or up.
void web_mouse_move(int32_t dx, int32_t dy);
void web_mouse_button(int button, bool down);

// The gamepads as the page last polled them: each axis from the pad deflecting it most
// (sticks -32768..32767, triggers 0..32767), and whether any pad holds Start, A or Back.
void web_gamepad_poll(const int16_t axes[PAD_AXES], bool start, bool a, bool back);

// The keys this read sees (KEY_HELD or 0), the gamepad's Start (and A while paused) as
// P, its Back as F4.
void web_keys_read(uint8_t state[256], bool paused);
// The motion this read hands out (at most motion_per_read counts an axis, after the mouse
// speed) and the two buttons. While the pointer is free (paused, a dialog up) the
// gamepad gives nothing; otherwise it speaks when the mouse's buttons are up.
void web_mouse_read(bool pointer_free, int32_t* dx, int32_t* dy, uint8_t buttons[2]);
// Paused: the rest of a flick is dropped, as natively.
void web_drop_motion();

// Focus lost: every key and button is let go and waiting motion dropped, so nothing
// reads held when the game comes back.
void web_input_release_all();
