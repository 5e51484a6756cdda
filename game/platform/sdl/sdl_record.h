// Recording the real game: every value the game reads through the platform, in the
// order it reads it, written as a replay script (platform/script/script_format.h) that
// the scripted platform plays back to the same run. Also the hooks through which a
// program sees each present and message box (for its trace).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/script/line_output.h"

// Starts recording into the file; `options` are the level options of the run, written
// into the script so that a replay asks for the same level files. What the file held
// stays until sdl_record_start. False with errno set when the file cannot be opened.
bool sdl_record_open(const char* path, const std::vector<std::string>& options);
// Empties the file: called once every output of the run has been checked.
void sdl_record_start();
// Stops a recording that is not to be written after all; a file its open made is removed.
void sdl_record_discard(const char* path);
// The opened output, for comparing it with the run's other files.
const LineOutput* sdl_record_output();
// Writes what is left and closes; true when every line reached the file.
bool sdl_record_close();

// Called at each present, before the frame is shown, with its 640 x 480 bytes.
using SdlPresentHook = void (*)(const uint8_t* frame);
void sdl_set_present_hook(SdlPresentHook hook);
// Called for each message box before it is shown.
using SdlMessageBoxHook = void (*)(const char* text, const char* caption, int icon);
void sdl_set_message_box_hook(SdlMessageBoxHook hook);

// ---- Called by the SDL platform for each read, with what the game got ---------------

// A keyboard read: the start of a frame whose tick is `tick`. A failed read leaves
// `state` unread.
void record_keyboard_read(bool ok, const uint8_t state[256], uint32_t tick);
// A mouse read; returns `ok`. `buttons` is unread when the read failed.
bool record_mouse_read(bool ok, int32_t dx, int32_t dy, const uint8_t buttons[2]);
// A tick read outside a frame (within a frame every read gives the frame's tick).
void record_tick_outside_frame(uint32_t tick);
// A calendar read: within a frame the frame's one value, or a read outside frames.
void record_calendar_read(int64_t seconds, bool in_frame);
// A present (the end of the frame) and a message box.
void record_present(const uint8_t* frame);
void record_message_box(const char* text, const char* caption, int icon);
