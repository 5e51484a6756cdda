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
    bool created = false;       // the open made the file: line_output_discard removes it
    bool regular = false;       // a regular file: truncated at the start, its links watched
    bool failed = false;        // a write failed: reported, nothing more is written
    std::string pending;        // complete lines not yet written
    long long written = 0;      // bytes in the file, all of them whole lines
    long long last_write_ms = 0;
    std::string what;           // "maze: the recording FILE", for the error message
};

// Opens the file ("-" for standard output), creating it if need be but leaving what it
// holds until line_output_start, so every output of a run can be checked before any
// is emptied. A FIFO without a reader is refused rather than waited for. False with
// errno set when it cannot be opened; `what` names it in later messages.
bool line_output_open(LineOutput* out, const char* path, const char* what);
// Empties an opened regular file: the output begins.
void line_output_start(LineOutput* out);
// Closes an output that is not to be written after all; a file its open created is
// removed again.
void line_output_discard(LineOutput* out, const char* path);
// True when the output is the file at `path` (by device and inode), or both outputs
// are one file or stream.
bool line_output_is_file(const LineOutput* out, const char* path);
bool line_output_same(const LineOutput* a, const LineOutput* b);
// Appends text made of whole lines (ending in '\n').
void line_output_append(LineOutput* out, const char* text, size_t size);
// Writes what is pending if a second has passed since the last write.
void line_output_tick(LineOutput* out);
// Writes everything pending; true when every line so far reached the file. A regular
// file that has lost its last link (its folder removed) counts as a failed write.
bool line_output_flush(LineOutput* out);
// Flushes and closes; true when every line reached the file.
bool line_output_close(LineOutput* out);
