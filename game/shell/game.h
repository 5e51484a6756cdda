// The game program: start-up, the level loop, the frame loop and the closing messages.
#pragma once

#include <cstdint>

extern int32_t level_number;       // 1..4 while playing, 5 after the last level is won
extern char level_banner[64];
extern uint8_t key_state[256];
extern bool closing_message_active;  // true during a closing message's present
// True once the start options are in force (the drawing mode among them): from then on,
// what the game's state says of a setting is what the player left it as.
extern bool game_options_in_force;

// Runs the whole game on the platform it is linked with: 0 at a normal end, 1 after a
// "Fatal Error" message (a failure must not look like success to whoever started it).
int game_main();

double frames_per_second();
void align_player_heading();
void show_timed_message(const char* text, int x);
