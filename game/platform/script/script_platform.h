// The headless platform: no window, the frame lives in memory, input and time come from
// a script (script_format.h), message boxes are dismissed at once and reported to a
// hook, and any operation can be told to fail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/script/script_format.h"

// Back to the state of a fresh run: no script (every frame then has Escape held), no
// faults, no overrides, no hooks; the first tick read returns 1.
void script_reset();

// Replaces the script with the given text, file or parsed script. False on a malformed
// line or an unreadable file, with a message naming the line or the file in `error`.
bool script_load_text(const char* text, char* error, size_t error_size);
bool script_load_file(const char* path, char* error, size_t error_size);
void script_load(const Script& script);
// As script_load, taking the parsed script over rather than copying it (a long script is
// kept once); `script` is left empty.
void script_take(Script* script);

// The tick value last read (the frame's tick from its keyboard read on).
uint32_t script_last_tick();
int script_presents();  // successful flips

// Called after every flip with the frame as presented, the current palette and the
// flip's result (PLATFORM_FLIP_SHOWN, _LOST or _DROPPED).
using ScriptPresentHook = void (*)(const uint8_t* frame, const uint8_t palette[256][3], int result);
void script_set_present_hook(ScriptPresentHook hook);
// Called for every message box as it is shown (and dismissed).
using ScriptMessageBoxHook = void (*)(const char* text, const char* caption, int icon);
void script_set_message_box_hook(ScriptMessageBoxHook hook);

// The input of one frame, for a source that makes frames as the run goes.
struct ScriptFrameInput {
    uint32_t tick;
    int32_t dx, dy;
    bool left, right;
    uint8_t keys[256];  // bit 0x80 while held, by scan code
};
// Asked for each frame that the loaded script has no line for; returning false gives the
// frame past the end of the script (Escape held). Cleared by script_reset.
using ScriptLineSource = bool (*)(int frame, ScriptFrameInput* input);
void script_set_line_source(ScriptLineSource source);

// Every platform operation, for fault injection and call counts.
enum ScriptOp {
    SCRIPT_OP_REGISTER_WINDOW_CLASS,
    SCRIPT_OP_CREATE_WINDOW,
    SCRIPT_OP_CREATE_DISPLAY,
    SCRIPT_OP_SET_EXCLUSIVE,
    SCRIPT_OP_SET_DISPLAY_MODE,
    SCRIPT_OP_CREATE_PRIMARY_SURFACE,
    SCRIPT_OP_GET_BACK_BUFFER,
    SCRIPT_OP_SET_PALETTE,
    SCRIPT_OP_LOCK,
    SCRIPT_OP_UNLOCK,
    SCRIPT_OP_FLIP,         // a fault makes the flip report a lost surface
    SCRIPT_OP_FLIP_DROP,    // a fault makes the flip report a dropped frame
    SCRIPT_OP_RESTORE,
    SCRIPT_OP_BEGIN_TEXT,
    SCRIPT_OP_END_TEXT,
    SCRIPT_OP_RELEASE_BACK_BUFFER,
    SCRIPT_OP_RELEASE_PRIMARY_SURFACE,
    SCRIPT_OP_RELEASE_DISPLAY,
    SCRIPT_OP_CREATE_INPUT,
    SCRIPT_OP_CREATE_MOUSE,
    SCRIPT_OP_CREATE_KEYBOARD,
    SCRIPT_OP_ACQUIRE_MOUSE,
    SCRIPT_OP_ACQUIRE_KEYBOARD,
    SCRIPT_OP_UNACQUIRE_MOUSE,
    SCRIPT_OP_UNACQUIRE_KEYBOARD,
    SCRIPT_OP_READ_MOUSE,
    SCRIPT_OP_READ_KEYBOARD,
    SCRIPT_OP_SHOW_WINDOW,
    SCRIPT_OP_HIDE_CURSOR,
    SCRIPT_OP_MESSAGE_BOX,
    SCRIPT_OP_IDLE,
    SCRIPT_OP_COUNT
};

// The next `times` calls of `op` fail (a negative count: every call from now on).
void script_fail(ScriptOp op, int times);
// How many times `op` was called since the last reset (failed calls included).
int script_calls(ScriptOp op);

// The window's input focus, true after a reset. Losing it unacquires the mouse and the
// keyboard: their reads fail until platform_acquire_* succeeds, which it does only
// while the window has the focus again.
void script_set_focus(bool focus);

// Test controls that bypass the script: every tick read returns `tick`; every mouse
// read returns the given motion and buttons. Cleared by script_reset.
void script_override_ticks(uint32_t tick);
void script_override_mouse(int32_t dx, int32_t dy, bool left, bool right);

// The frame memory (640 x 480 palette indices) and the palette last loaded.
uint8_t* script_frame();
const uint8_t (*script_palette())[3];
