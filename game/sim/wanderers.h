// The wanderers' own movement: random drives, turning at walls, the play square.
#pragma once

#include <cstdint>

extern int32_t wander_countdown;  // frames until the next drive, shared by all wanderers

// The calendar time in seconds, asked for only when a wanderer draws a new drive.
using CalendarSeconds = int64_t (*)();
void update_wanderers(CalendarSeconds calendar_seconds);
