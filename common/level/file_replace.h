// Files replaced whole: the new contents go to a new file beside the target, which is
// renamed over it only once complete, so a failure never leaves a partial file or
// destroys the previous one.
#pragma once

#include <cstdio>
#include <string>

// Creates a new, empty file beside `target`, named `target` + ".tmp<pid>-<n>", exclusively
// (never an existing file, never through a symbolic link), with the permissions a new file
// gets. Sets `temp_path` to its name. nullptr (errno set) when it cannot be created.
std::FILE* create_temp_beside(const std::string& target, std::string* temp_path);

// Flushes, syncs and closes a file from create_temp_beside; false (errno set) when any
// byte may not have reached the disk. The file is closed either way.
bool finish_temp(std::FILE* file);

// Writes each of `count` texts to its path: all go to temporary files first, and only when
// every one is complete are they renamed into place. On a failure every temporary file is
// removed, the existing files are left as they were, and a message naming the file goes to
// stderr after "`program`: ". True when all were written.
bool replace_files(const char* program, const std::string paths[], const std::string texts[], int count);
