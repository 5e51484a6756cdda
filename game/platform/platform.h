// The small layer under the game shell: window, display, input, clock and message
// boxes. Two implementations exist: sdl/ (the real game) and script/ (headless runs
// driven by a script, with fault injection for tests). Game code calls only these.
#pragma once

#include <cstdint>

#include "common/frame_size.h"

constexpr int PLATFORM_SCREEN_WIDTH = FRAME_WIDTH;
constexpr int PLATFORM_SCREEN_HEIGHT = FRAME_HEIGHT;
constexpr int PLATFORM_FRAME_BYTES = PLATFORM_SCREEN_WIDTH * PLATFORM_SCREEN_HEIGHT;

// ---- Settings -----------------------------------------------------------------------

// How the real platform behaves, set once before start-up (the game's command line).
// The scripted platform takes none: its time and input are the script's.
struct PlatformSettings {
    bool windowed;          // start in a window instead of full screen
    int frames_per_second;  // pace of the flips; 0: never wait, as fast as frames come
    double mouse_speed;     // factor on mouse motion, applied inside platform_read_mouse
    double gamepad_dead_zone;    // the part of a stick's or trigger's travel that gives nothing, 0..0.9
    double gamepad_stick_speed;  // factor on the motion the gamepad's sticks and triggers give
    bool gamepad_invert_tilt;    // the right stick's forward tilts the camera the other way
};
void platform_configure(const PlatformSettings* settings);

// ---- Window -------------------------------------------------------------------------

// Registers the game's window kind with the window system; false on failure.
bool platform_register_window_class();
// Creates the full-screen game window with the given title; false on failure.
bool platform_create_window(const char* title);
// Shows the window and has it painted once.
void platform_show_window();
// Hides the mouse cursor over the window.
void platform_hide_cursor();

// ---- Display ------------------------------------------------------------------------

// Creates the display object; false on failure.
bool platform_create_display();
// Takes exclusive full-screen use of the display; false on failure.
bool platform_set_exclusive();
// Switches to 640 x 480 pixels of 8-bit palette indices; false on failure.
bool platform_set_display_mode();
// Creates the visible surface with its flip chain; false on failure.
bool platform_create_primary_surface();
// Looks up the one back buffer of the flip chain; false on failure.
bool platform_get_back_buffer();
// Loads a 256-entry palette (red, green, blue per entry) onto the visible surface;
// false when it cannot be attached.
bool platform_set_palette(const uint8_t palette[256][3]);

// Locks the back buffer: 640 x 480 palette indices, pitch 640. Null on failure.
uint8_t* platform_lock_back_buffer();
void platform_unlock_back_buffer();

constexpr int PLATFORM_FLIP_SHOWN = 0;  // the back buffer is now visible
constexpr int PLATFORM_FLIP_LOST = 1;   // the surfaces were lost; restore them
constexpr int PLATFORM_FLIP_DROPPED = 2;  // display busy or other failure: frame not shown
// Presents the back buffer. Unpaced it never waits (a flip sooner than the display can
// show it is dropped); paced it returns when the next frame is due. Afterwards the back
// buffer is the next frame to draw; its old contents are not cleared.
int platform_flip();
// Recreates lost surfaces; false on failure.
bool platform_restore();

// The unlocked back buffer for text drawing (the same 640 x 480 bytes, pitch 640), or
// null when it cannot be had; each success is paired with platform_end_text.
uint8_t* platform_begin_text();
void platform_end_text();

// Releases one display object each; safe to call when it does not exist.
void platform_release_back_buffer();
void platform_release_primary_surface();
void platform_release_display();

// ---- Input --------------------------------------------------------------------------

// Creates the input system; false on failure.
bool platform_create_input();
// Creates the system mouse or keyboard device for the game window; false on failure.
bool platform_create_mouse();
bool platform_create_keyboard();
// Acquires a device for reading while the window has focus; false on failure.
bool platform_acquire_mouse();
bool platform_acquire_keyboard();
// Unacquires a device; false on failure.
bool platform_unacquire_mouse();
bool platform_unacquire_keyboard();

// Whether the game is paused (P, or the focus gone): while it is, the pointer is the
// player's (not grabbed, the cursor shown) and a gamepad's A plays on; the game takes it
// back with its next read after playing on.
void platform_set_paused(bool paused);

// Relative motion since the previous read (x grows to the right, y toward the user),
// after any mouse-speed scaling, and the two buttons (0 left, 1 right; bit 0x80 when pressed). False on failure, outputs
// untouched.
bool platform_read_mouse(int32_t* dx, int32_t* dy, uint8_t buttons[2]);

// Scan codes of the keys the game reads (PC set 1).
constexpr int SCAN_ESCAPE = 0x01;
constexpr int SCAN_F1 = 0x3B;  // F1..F10 are 0x3B..0x44
constexpr int SCAN_P = 0x19;
constexpr int SCAN_F4 = 0x3E;
constexpr int SCAN_F8 = 0x42;
constexpr int SCAN_F10 = 0x44;
constexpr int SCAN_F11 = 0x57;
constexpr int SCAN_F12 = 0x58;
constexpr int SCAN_PRINT_SCREEN = 0xB7;
constexpr uint8_t KEY_HELD = 0x80;
// The state of every key by scan code, bit 0x80 while held. False on failure, the
// buffer untouched.
bool platform_read_keyboard(uint8_t state[256]);

// ---- Clock, calendar, message boxes ------------------------------------------------

// Milliseconds since some origin; wraps around at 2^32. Every read from a frame's
// keyboard read to its present returns the same value, so a frame uses one tick.
uint32_t platform_ticks();
// The tick value most recently read (a frame's tick from its keyboard read on), 0
// before the first; reads nothing new. Traces report it.
uint32_t platform_last_tick();
// The calendar time in seconds.
int64_t platform_calendar_seconds();
// Lets the window system run for a moment during a wait (about a millisecond); reads
// no input and changes no game state.
void platform_idle();

constexpr int PLATFORM_ICON_NONE = 0;
constexpr int PLATFORM_ICON_ERROR = 1;
// Shows a message box with an OK button and blocks until it is dismissed.
void platform_message_box(const char* text, const char* caption, int icon);
