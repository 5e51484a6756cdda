// The command line of maze: parsed before anything opens, into one plain table of
// settings. Options change which level files are asked for and how the platform
// behaves, never a rule of the game.
#pragma once

#include <cstddef>

constexpr int OPTIONS_FIRST_LEVEL = 1;
constexpr int OPTIONS_LAST_LEVEL = 4;
constexpr int OPTIONS_DEFAULT_FPS = 60;
constexpr int OPTIONS_MIN_FPS = 20;  // --fps 0 (unpaced) or 20..1000
constexpr int OPTIONS_MAX_FPS = 1000;
constexpr double OPTIONS_MIN_MOUSE_SPEED = 0.1;
constexpr double OPTIONS_MAX_MOUSE_SPEED = 10.0;
constexpr int OPTIONS_MAX_BRIGHTNESS = 4;  // --brightness 0..4, 0 the palette as it is
constexpr double OPTIONS_MAX_DEAD_ZONE = 0.9;  // --gamepad-dead-zone 0..0.9 of a stick's travel
constexpr double OPTIONS_DEFAULT_DEAD_ZONE = 0.2;
constexpr double OPTIONS_MIN_STICK_SPEED = 0.1;  // --gamepad-stick-speed 0.1..10
constexpr double OPTIONS_MAX_STICK_SPEED = 10.0;
constexpr size_t OPTIONS_MAX_PATH = 1024;  // longest --levels or --play path taken

struct GameOptions {
    int first_level;         // --level N: 1..4
    const char* levels_dir;  // --levels DIR, or null for the working directory
    const char* play_file;   // --play FILE: the only level, or null for the four
    bool windowed;           // --window
    bool solid;              // --solid
    int fps;                 // --fps N: 0 for the unpaced loop
    double mouse_speed;      // --mouse-speed F
    const char* record_path;  // --record FILE, or null
    const char* trace_path;   // --trace FILE, or null
    bool help;                // --help or -h
    bool version;             // --version
    const char* config_path;     // --config FILE: the settings file, or null for the usual one
    const char* screenshot_dir;  // --screenshot-dir DIR (or the settings file), null: working directory
    int brightness;           // --brightness N: 0..4
    double gamepad_dead_zone;    // --gamepad-dead-zone F: the part of a stick's travel ignored
    double gamepad_stick_speed;  // --gamepad-stick-speed F: factor on the sticks' motion
    bool gamepad_invert_tilt;    // --gamepad-invert-tilt: the right stick tilts the other way
};

// The settings in force; the strings point into the parsed argument list.
extern GameOptions game_options;

// The one-line usage and the table of options, as `maze --help` prints them.
extern const char* const options_usage;

// Back to the defaults: level 1 onward from the working directory, full screen,
// outline drawing, 60 frames a second, mouse speed 1, no recording, no trace.
void reset_options();

// Parses argv[1..argc-1] into game_options (after a reset). False on the first bad
// argument, with a one-line reason in `message`.
bool parse_options(int argc, const char* const* argv, char* message, size_t message_size);

// For programs with options of their own (mazereplay): when argv[*index] is --level,
// --levels or --play, takes it and its value into game_options, moves *index onto the
// value and sets *taken. False with a reason when the value is missing or bad.
bool parse_level_option(int argc, const char* const* argv, int* index, bool* taken, char* message,
                        size_t message_size);
// True when the option of that name (--level, --levels, --play, ...) has been taken.
bool level_option_given(const char* name);
// False with a reason when the level options taken do not go together.
bool check_level_options(char* message, size_t message_size);

// True when the option named (such as "--solid") was on the command line last parsed:
// such a setting wins over the settings file for that run.
bool option_given(const char* name);

// The file the level loop asks for as level `number`: "levelN.lvx", in --levels DIR
// when given, or the --play file. False when the name does not fit in `size`.
bool level_file_name(int number, char* name, size_t size);
// True when a level file the run may read (from --level's level on, or the --play file)
// is the file open as `fd` (an output of the run), with that file's name in `name`.
bool level_file_is_open_as(int fd, char* name, size_t size);
