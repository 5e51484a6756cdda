// The settings file: `key value` lines and `#` comments, by default
// $XDG_CONFIG_HOME/maze/maze.cfg (~/.config when the variable is unset or empty), or the
// file --config names. Each key is one row of a table in settings.cpp, tied to a field
// of game_options and to the command-line option that wins over it for one run. A
// setting changed in the game is written back when the game ends: the file is written
// beside itself and renamed into place, with its comments, unknown keys and order kept.
#pragma once

#include <cstddef>

// The file in use (empty when none can be named: no --config, no variable, no $HOME).
extern char settings_path[];

// Names the file from --config, or $XDG_CONFIG_HOME and $HOME as given (null when unset).
// False when there is none.
bool settings_locate(const char* config_option, const char* config_home, const char* home);

// Reads the file into game_options, except the keys whose option is on the command line.
// A missing file is no error. A bad value is warned about on stderr (file and line) and
// the key keeps its default. False only when the file exists and cannot be read (or is
// no regular file); it is then not written either.
bool settings_load(const char* program);

// Remembers the values in force at the start of the game, after the file and the
// command line, so that settings_save_changes writes only what the game changed.
void settings_note_start();

// Writes every key whose field in game_options differs from the start: the last
// line that set it is rewritten, or a line added at the end. Nothing is written when
// nothing changed. False, with a message on stderr, when the file could not be
// written; the old file is then left whole.
bool settings_save_changes(const char* program);
