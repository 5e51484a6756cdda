// The mouse and keyboard, read by polling once per frame, and the function-key switches.
#pragma once

#include <cstdint>

extern uint16_t function_key_latch;

// Creates and acquires both devices; false on the first failure.
bool init_input();
// Motion since the previous read and the two buttons (0 or 0x80). False on failure,
// outputs untouched.
bool read_mouse(int32_t* dx, int32_t* dy, int32_t* button0, int32_t* button1);
// The held state of every key (bit 0x80) by scan code. False on failure, buffer untouched.
bool read_keyboard(uint8_t state[256]);
// Unacquires both devices; false when either fails.
bool release_input();
// Toggles a debug_flags bit on the release of its function key.
void poll_function_keys(const uint8_t state[256]);
