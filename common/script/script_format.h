// The replay script as text: parsed by the scripted platform, written by the SDL
// platform's recorder, so both read and write one format.
//
// One line per frame: TICK DX DY BUTTONS KEYS [cal=SECONDS] [fail=K|M|KM]
// and between frames the directives
//   ticks V|A..B ...      the tick reads outside frames, in order, before the next frame
//   calendar S ...        the calendar reads outside frames, in order, before the next frame
//   options WORD ...      the game's level options for the run (before the first frame)
// '#' starts a comment. A script of plain five-field lines means what it always meant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One frame's reads: the keyboard read that begins it, the first mouse read, and the
// tick and calendar values of every read from the keyboard read to the present.
struct ScriptFrame {
    uint32_t tick;
    int32_t dx, dy;
    bool left, right;
    uint8_t held[32];      // bit (code & 7) of byte code / 8 set while that key is held
    bool keyboard_fails;   // the keyboard read fails (focus lost): KEYS are not delivered
    bool mouse_fails;      // every mouse read of the frame fails
    bool calendar_given;   // cal=: otherwise the calendar is 1000000000 + TICK / 1000
    int64_t calendar;
};

// Tick reads outside frames: first, first + 1, ..., first + count - 1.
struct ScriptTickRun {
    uint32_t first;
    uint64_t count;  // up to 2^32
};

// The reads outside frames between two frames, as index ranges into the script's
// tick runs and calendar values (32 bits: one gap is kept per frame line, so it is small).
struct ScriptGap {
    uint32_t first_tick_run, tick_run_count;
    uint32_t first_calendar, calendar_count;
};

struct Script {
    std::vector<ScriptFrame> frames;
    // gaps[n] holds the reads before frames[n]; gaps[frames.size()] those after the last.
    std::vector<ScriptGap> gaps;
    std::vector<ScriptTickRun> tick_runs;
    std::vector<int64_t> calendar_values;
    std::vector<std::string> options;  // the words of the options directive
    int options_line;                  // its line number, 0 without one
    int unended_line;  // the last line when it has text but no newline (a cut file), else 0
};

// Parses a whole script (a UTF-8 byte-order mark at its start is passed over). False on
// a bad line, with "script line N: why" in `error` (which may be null); `script` is then
// left empty.
bool parse_script(const char* text, size_t size, Script* script, char* error, size_t error_size);
// Reads and parses a file; a file that cannot be read, or holds a NUL byte, is refused
// with a message naming it.
bool read_script_file(const char* path, Script* script, char* error, size_t error_size);

void hold_script_key(ScriptFrame* frame, unsigned code);
bool script_key_held(const ScriptFrame& frame, unsigned code);

// The text of one frame line, newline included.
std::string format_script_frame(const ScriptFrame& frame);
// A ticks directive line for the runs [first, first + count), newline included.
std::string format_script_ticks(const ScriptTickRun* runs, size_t count);
// A calendar directive line for the values, newline included.
std::string format_script_calendar(const int64_t* values, size_t count);
// An options directive line; bytes that cannot stand in a word are written %XX.
std::string format_script_options(const std::vector<std::string>& words);
