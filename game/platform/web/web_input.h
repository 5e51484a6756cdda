// The browser's keyboard and mouse between two reads of the game, kept apart from the
// page so that it can be checked on its own: keys by set-1 scan code, and nothing lost
// between reads. A key (or button) pressed and let go since the last read reads held
// once and released at the next read; motion adds up until it is read.
#pragma once

#include <cstdint>

// The set-1 scan code of a key by its KeyboardEvent.code name ("KeyP", "F4", "Escape");
// 0 for a key the game has no code for, or a null name.
uint8_t web_scan_code(const char* code);

// A key went down or up; repeats of a held key change nothing.
void web_key_down(uint8_t scan_code);
void web_key_up(uint8_t scan_code);
// The state of every key (KEY_HELD while held, or pressed since the last read); ends the
// taps of this read.
void web_keys_read(uint8_t state[256]);

// Pointer motion in page pixels, and a button (0 left, 2 right as the page numbers them;
// others are ignored) down or up.
void web_mouse_move(int32_t dx, int32_t dy);
void web_mouse_button(int button, bool down);
// The motion since the last read scaled by `speed` (what truncation leaves carried on)
// and the two buttons (KEY_HELD when held or pressed since the last read).
void web_mouse_read(double speed, int32_t* dx, int32_t* dy, uint8_t buttons[2]);

// Focus lost: every key and button is let go and unread motion dropped, so nothing
// reads held when the game comes back.
void web_input_release_all();
