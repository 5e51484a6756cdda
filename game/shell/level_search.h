// Where the level files are found. --play names the one file and --levels the one
// folder; otherwise the first of these folders holding level1.lvx wins: the working
// directory, the data folder of an installed game (found from the program's own path,
// so any prefix works), and each folder of $XDG_DATA_DIRS with /maze added.
#pragma once

#include <cstddef>

#include "shell/options.h"

constexpr int LEVEL_SEARCH_MAX_FOLDERS = 16;

// The folders in the order they are tried ("." for the working directory).
extern char level_search_folders[LEVEL_SEARCH_MAX_FOLDERS][OPTIONS_MAX_PATH];
extern int level_search_count;

// Lists the folders to try for a program at `program_path` (the running one when
// null) with `data_dirs` as $XDG_DATA_DIRS (its default when null or empty).
void list_level_folders(const char* program_path, const char* data_dirs);

// Picks the folder of the level files into game_options (left null for the working
// directory). True when the first level file is there; otherwise `program`: says on
// stderr which file is missing, where it looked, and how to name a folder. The game
// goes on either way, so its own message boxes still show. With a null `program` it
// says nothing: outputs are checked against the level files the run will read before
// anything is said about them.
bool find_level_folder(const char* program);
