// The clock as the game reads it on the real platforms (SDL and the browser): every tick
// read from a frame's keyboard read to its present returns that frame's tick, and the
// calendar is read once a frame, so a recorded run replays exactly; reads outside frames
// are the clock's own. Every read is recorded. Defines platform_ticks,
// platform_last_tick and platform_calendar_seconds.
#pragma once

#include <cstdint>

// The platform's own millisecond clock, defined by each platform.
uint32_t platform_clock_ms();

// A keyboard read begins a frame: its tick, read now.
uint32_t frame_clock_begin_frame();
// A present ends it.
void frame_clock_end_frame();
