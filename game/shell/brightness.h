// The player's brightness: five levels applied to the palette only where it becomes
// display colours (the window and screenshots), never to the frame's indices, so every
// frame and every trace stays the same at any level.
#pragma once

#include <cstdint>

constexpr int BRIGHTNESS_LEVELS = 5;  // 0 (the palette as it is) to 4 (the brightest)

// One colour channel at a brightness level (clamped to 0..4): level 0 leaves it as it is.
uint8_t brighten_channel(uint8_t value, int level);
// The level in force: --brightness at start, then changed by F11.
int brightness_level();
// Sets the level (clamped to 0..4) for the display's start-up (--brightness).
void set_brightness_level(int level);
// The next level, from 4 back to 0 (F11), shown at once.
void cycle_brightness_level();
// The game's palette at the level in force: what the player sees, and what screenshots hold.
const uint8_t (*shown_palette())[3];
