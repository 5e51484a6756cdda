// One tick a frame and one calendar read a frame, for the SDL and browser platforms.
#include "platform/sdl/frame_clock.h"

#include <ctime>

#include "platform/platform.h"
#include "platform/sdl/sdl_record.h"

namespace {

bool in_frame;
uint32_t frame_tick;
uint32_t last_tick;  // the tick most recently read
bool frame_calendar_read;
int64_t frame_calendar;

}  // namespace

uint32_t frame_clock_begin_frame()
{
    frame_tick = platform_clock_ms();
    last_tick = frame_tick;
    in_frame = true;
    frame_calendar_read = false;
    return frame_tick;
}

void frame_clock_end_frame() { in_frame = false; }

uint32_t platform_ticks()
{
    if (in_frame) return frame_tick;
    last_tick = platform_clock_ms();
    record_tick_outside_frame(last_tick);
    return last_tick;
}

uint32_t platform_last_tick() { return last_tick; }

int64_t platform_calendar_seconds()
{
    if (in_frame && frame_calendar_read) return frame_calendar;
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (in_frame) {
        frame_calendar = now;
        frame_calendar_read = true;
    }
    record_calendar_read(now, in_frame);
    return now;
}
