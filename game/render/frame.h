// The buffers the renderer draws into and the switches it reads. The display device
// sets frame_buffer at every lock and clears both buffers each frame.
#pragma once

#include <bit>
#include <cstdint>

#include "common/frame_size.h"

constexpr int SCREEN_WIDTH = FRAME_WIDTH;
constexpr int SCREEN_HEIGHT = FRAME_HEIGHT;
constexpr int SCREEN_PIXELS = SCREEN_WIDTH * SCREEN_HEIGHT;

// The locked back buffer: 640 x 480 palette indices, pixel (x, y) at y * 640 + x.
// Re-read after every present and text overlay, never kept across them.
extern uint8_t* frame_buffer;
// One depth per pixel, larger meaning nearer; index y * 640 + x. Rows start on cache
// lines (as the frames given to frame_buffer should), so that threads drawing different
// rows never write to one line.
extern double depth_buffer[SCREEN_PIXELS];
// Every byte 0xC8: about -4.3e42, farther than any depth ever drawn.
constexpr double clear_depth = std::bit_cast<double>(uint64_t{0xC8C8C8C8C8C8C8C8});
// Set by whoever fills depth_buffer with clear_depth, and reset by render_scene, which
// can then draw the scene's nearer faces first.
extern bool depth_buffer_cleared;

// Rows can be split between threads: at most this many phases draw at the same time.
constexpr int max_row_phases = 2;
// A row step is a power of two up to max_row_phases, the phase below it: the rows drawn
// are those y with y % row_step == row_phase.
constexpr bool valid_row_phase(int row_phase, int row_step)
{
    return row_step >= 1 && row_step <= max_row_phases && (row_step & (row_step - 1)) == 0 && row_phase >= 0 &&
           row_phase < row_step;
}

// Switches toggled by F1..F12 (bit 0x8000 for F1 down to 0x0010 for F12).
extern uint16_t debug_flags;
constexpr uint16_t DEBUG_SOLID = 0x1000;  // F4: filled polygons and discs
constexpr uint16_t DEBUG_FPS = 0x0100;    // F8: frame-rate text
