// SDL scancodes to PC set-1 scan codes (keys with the 0xE0 prefix get bit 0x80).
#pragma once

#include <SDL.h>

#include <cstdint>

// The set-1 code of an SDL scancode, or 0 for a key the standard keyboard lacks.
uint8_t set1_scan_code(SDL_Scancode scancode);
