// The trace of a run as JSON Lines, the same from the real game (maze --trace) and from
// a replay (mazereplay --trace): one object per present, written at its flip, one per
// message box, and {"exit":E,"frames":n} at the end. Written whole lines at a time, at
// least once a second, so a killed run leaves a readable trace.
#pragma once

#include <cstdint>

// Opens the trace file ("-" for standard output); `what` names it in error messages.
// False with errno set when it cannot be opened.
bool trace_open(const char* path, const char* what);
bool trace_is_open();
// The present just flipped, with the frame's 640 x 480 bytes as presented.
void trace_present(const uint8_t* frame);
void trace_message_box(const char* text, const char* caption);
// Presents traced so far.
long trace_presents();
// Writes the last line and closes; true when every line reached the file.
bool trace_close(int exit_code);
