// The wanderers' own movement: random drives, turning at walls, the play square.
#pragma once

#include <cstdint>

extern int32_t wander_countdown;  // frames until the next drive, shared by all wanderers

void update_wanderers();
