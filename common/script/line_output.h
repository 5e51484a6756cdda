// Text output that survives a crash or a kill: written in whole lines only, at least
// once a second, so whatever is on disk is a prefix of the full output that a reader
// can take line by line. A write error is reported once on stderr; later lines are
// dropped and the program goes on.
#pragma once

#include <cstddef>
#include <string>

struct LineOutput {
    int fd = -1;
    bool owns_fd = false;       // false for standard output
    bool failed = false;        // a write failed: reported, nothing more is written
    std::string pending;        // complete lines not yet written
    long long written = 0;      // bytes in the file, all of them whole lines
    long long last_write_ms = 0;
    std::string what;           // "maze: the recording FILE", for the error message
};

// Creates or truncates the file ("-" for standard output). False with errno set when it
// cannot be opened; `what` names it in later messages.
bool line_output_open(LineOutput* out, const char* path, const char* what);
// Appends text made of whole lines (ending in '\n').
void line_output_append(LineOutput* out, const char* text, size_t size);
// Writes what is pending if a second has passed since the last write.
void line_output_tick(LineOutput* out);
// Writes everything pending; true when every line so far reached the file.
bool line_output_flush(LineOutput* out);
// Flushes and closes; true when every line reached the file.
bool line_output_close(LineOutput* out);
