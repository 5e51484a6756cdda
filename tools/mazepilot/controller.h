// The pilot's closed loop: each frame it looks at the game's state, steers the ball along
// the current route with the mouse, and records the frame's input as a script line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/script/script_platform.h"
#include "route.h"

// The attempts to play, in order; set before the game starts.
extern std::vector<Route> pilot_routes;
extern bool pilot_escape_at_end;   // hold Escape in the frame that ends the last route's level
extern bool pilot_solid_at_start;  // F4 held in the first frame: solid drawing from the second on
extern int pilot_max_frames;

// What the run made: one script line per frame, comments for the script's head, and the
// number of routes that did not end as they expected.
extern std::vector<std::string> pilot_recorded;
extern std::vector<std::string> pilot_notes;
extern int pilot_error_count;

// The tick of frame `frame` as the paced game gives it: frames start 1000 / 60 ms apart,
// counted from the first, so successive ticks differ by 16 or 17.
uint32_t pilot_frame_tick(int frame);

// Hooks for the scripted platform.
bool pilot_next_line(int frame, ScriptFrameInput* input);
void pilot_after_present(const uint8_t* frame, const uint8_t (*palette)[3], int result);

// True when every route was played to its end.
bool pilot_played_every_route();
