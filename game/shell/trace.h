// The trace of a run as JSON Lines, the same from the real game (maze --trace) and from
// a replay (mazereplay --trace): one object per present, written at its flip, one per
// message box, and {"exit":E,"frames":n} at the end. Written whole lines at a time, at
// least once a second, so a killed run leaves a readable trace.
#pragma once

#include <cstdint>

#include "common/script/line_output.h"

// Opens the trace file ("-" for standard output), leaving what it holds until
// trace_start; `what` names it in error messages. False with errno set when it cannot
// be opened.
bool trace_open(const char* path, const char* what);
// Empties the file: called once every output of the run has been checked.
void trace_start();
// Closes the trace unwritten (a check refused the run); a file its open made is removed.
void trace_discard(const char* path);
bool trace_is_open();
// The opened output, for comparing it with the run's other files.
const LineOutput* trace_output();
// The present just flipped, with the frame's 640 x 480 bytes as presented. A closing
// message's present and a message box are written out at once: a wait follows them.
void trace_present(const uint8_t* frame);
void trace_message_box(const char* text, const char* caption);
// Presents traced so far.
long trace_presents();
// Writes the last line and closes; true when every line reached the file.
bool trace_close(int exit_code);
