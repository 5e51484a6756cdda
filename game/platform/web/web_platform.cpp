// The platform layer in a browser (emscripten): the frame through the palette into the
// page's canvas, keys and the pointer from the page's events (html5.h), the page's clock,
// its frame callback for pacing and its dialogs for message boxes. The game's loops block;
// ASYNCIFY lets each flip, idle and dialog hand the browser its turn and come back.
// The page's side of each call is in web_page.js.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/sdl/frame_clock.h"
#include "platform/sdl/frame_pace.h"
#include "platform/sdl/sdl_record.h"
#include "platform/sdl/sdl_window_state.h"
#include "platform/web/web_input.h"

// ---- The page's side --------------------------------------------------------------

EM_JS(void, page_set_title, (const char* title), { document.title = UTF8ToString(title); });
EM_JS(void, page_present, (const uint8_t* rgba), { Module.mazePresent(rgba); });
// Resolves at the page's first frame callback from due_ms (page clock) on, or by a timer
// while the page is hidden and frame callbacks stop.
EM_ASYNC_JS(void, page_wait_frame, (double due_ms), { await Module.mazeWaitFrame(due_ms); });
EM_ASYNC_JS(void, page_dialog, (const char* text, const char* caption, int error),
            { await Module.mazeDialog(UTF8ToString(caption), UTF8ToString(text), error != 0); });
EM_JS(void, page_toggle_fullscreen, (), { Module.mazeToggleFullscreen(); });
EM_JS(int, page_visible, (), { return document.hidden ? 0 : 1; });
EM_JS(void, page_store_settings, (), { Module.mazeStoreSettings(); });
// The gamepads' sticks and triggers into axes (SDL's order and ranges); returns the
// buttons held on any pad: 1 Start, 2 A, 4 Back.
EM_JS(int, page_read_gamepads, (int16_t* axes), { return Module.mazeReadGamepads(axes); });

namespace {

// The settings of the page's address; these defaults without one.
PlatformSettings settings = {false, 60, 1.0, 0.2, 1.0, false};  // until platform_configure

bool window_made;
bool display_made;
bool surface_made;
bool back_buffer_ready;
alignas(64) uint8_t back_buffer[PLATFORM_FRAME_BYTES];
uint32_t display_colours[256];  // RGBA in memory order (red first), from the palette
uint32_t display_frame[PLATFORM_FRAME_BYTES];
FramePace pace;

bool input_ready;
bool mouse_created, keyboard_created;
bool mouse_wanted, keyboard_wanted;      // acquired by the game and not unacquired since
bool mouse_acquired, keyboard_acquired;  // as above, and not lost to a focus change
bool has_focus;
bool pointer_locked;
// While the game is paused the pointer is the player's; a click takes it back and, as
// natively, plays on.
bool game_paused;
bool dialog_open;  // the page's dialog has the keys
void (*keep_settings)();  // the program's, for a page that may be closed

// The page's clock (performance.now) in whole milliseconds, wrapping at 2^32.
uint32_t page_ticks()
{
    double now = emscripten_get_now();
    if (!(now >= 0)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(std::fmod(now, 4294967296.0)));
}

void lose_focus()
{
    has_focus = false;
    mouse_acquired = false;
    keyboard_acquired = false;
    web_input_release_all();
    if (pointer_locked) emscripten_exit_pointerlock();
}

void gain_focus()
{
    // Back in the foreground: the devices the game holds are acquired again.
    has_focus = true;
    mouse_acquired = mouse_wanted;
    keyboard_acquired = keyboard_wanted;
}

EM_BOOL on_key(int type, const EmscriptenKeyboardEvent* event, void*)
{
    if (dialog_open) return EM_FALSE;
    uint8_t code = web_scan_code(event->code);
    if (type == EMSCRIPTEN_EVENT_KEYDOWN) {
        if (code == 0x1C && event->altKey && !event->repeat) page_toggle_fullscreen();
        web_key_down(code);
    } else {
        web_key_up(code);
    }
    // The page keeps the browser's own shortcuts (Ctrl, Cmd) and keys the game has no code for.
    return code != 0 && !event->ctrlKey && !event->metaKey;
}

EM_BOOL on_mouse_move(int, const EmscriptenMouseEvent* event, void*)
{
    if (pointer_locked && !dialog_open) web_mouse_move(static_cast<int32_t>(event->movementX), static_cast<int32_t>(event->movementY));
    return EM_FALSE;
}

EM_BOOL on_mouse_button(int type, const EmscriptenMouseEvent* event, void*)
{
    if (dialog_open) return EM_FALSE;
    if (type == EMSCRIPTEN_EVENT_MOUSEDOWN && !pointer_locked) {
        // The click that takes the pointer is not a press in the game, but while paused it
        // plays on, as any click does natively.
        if (has_focus && mouse_wanted) emscripten_request_pointerlock("#canvas", EM_TRUE);
        if (!game_paused) return EM_FALSE;
    }
    web_mouse_button(event->button, type == EMSCRIPTEN_EVENT_MOUSEDOWN);
    return EM_FALSE;
}

EM_BOOL on_pointer_lock(int, const EmscriptenPointerlockChangeEvent* event, void*)
{
    pointer_locked = event->isActive != 0;
    if (!pointer_locked) {
        // The buttons' releases go to the page now, not to the game.
        web_mouse_button(0, false);
        web_mouse_button(2, false);
    }
    return EM_FALSE;
}

EM_BOOL on_focus(int type, const EmscriptenFocusEvent*, void*)
{
    if (type == EMSCRIPTEN_EVENT_BLUR) lose_focus();
    else if (page_visible()) gain_focus();
    return EM_FALSE;
}

EM_BOOL on_visibility(int, const EmscriptenVisibilityChangeEvent* event, void*)
{
    if (event->hidden) {
        lose_focus();
        // Closing the tab hides the page first: what the player switched is kept now.
        if (keep_settings) {
            keep_settings();
            page_store_settings();
        }
    } else {
        gain_focus();
    }
    return EM_FALSE;
}

void listen_to_page()
{
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    const char* document = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
    emscripten_set_keydown_callback(window, nullptr, EM_TRUE, on_key);
    emscripten_set_keyup_callback(window, nullptr, EM_TRUE, on_key);
    emscripten_set_mousemove_callback(document, nullptr, EM_TRUE, on_mouse_move);
    emscripten_set_mousedown_callback("#canvas", nullptr, EM_TRUE, on_mouse_button);
    emscripten_set_mouseup_callback(document, nullptr, EM_TRUE, on_mouse_button);
    emscripten_set_pointerlockchange_callback(document, nullptr, EM_TRUE, on_pointer_lock);
    // Not captured: an element of the page losing the focus (the dialog's button as the
    // dialog closes) would reach a capturing listener as if the page had lost it.
    emscripten_set_blur_callback(window, nullptr, EM_FALSE, on_focus);
    emscripten_set_focus_callback(window, nullptr, EM_FALSE, on_focus);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, on_visibility);
}

// A present ends the frame: tick reads from here on are the clock's own again.
void frame_presented()
{
    frame_clock_end_frame();
    record_present(back_buffer);
}

void show_back_buffer()
{
    for (int i = 0; i < PLATFORM_FRAME_BYTES; i++) display_frame[i] = display_colours[back_buffer[i]];
    page_present(reinterpret_cast<const uint8_t*>(display_frame));
}

}  // namespace

// ---- Settings -------------------------------------------------------------------------

void platform_configure(const PlatformSettings* chosen)
{
    settings = *chosen;
    if (settings.frames_per_second < 0) settings.frames_per_second = 0;
    web_input_configure(&settings);
}

// ---- Window ---------------------------------------------------------------------------

bool platform_register_window_class() { return true; }

bool platform_create_window(const char* title)
{
    page_set_title(title);
    listen_to_page();
    if (settings.frames_per_second > 0) pace_start(&pace, settings.frames_per_second);
    // The page in view has the focus; a blur or a hidden tab tells otherwise.
    has_focus = page_visible() != 0;
    window_made = true;
    return true;
}

void platform_show_window() {}
void platform_hide_cursor() {}  // the pointer is hidden while the game holds it (Pointer Lock)

// ---- Display --------------------------------------------------------------------------

bool platform_create_display() { return display_made = window_made; }
bool platform_set_exclusive() { return display_made; }
bool platform_set_display_mode() { return display_made; }
bool platform_create_primary_surface() { return surface_made = display_made; }

bool platform_get_back_buffer()
{
    if (!surface_made) return false;
    std::memset(back_buffer, 0, sizeof back_buffer);
    back_buffer_ready = true;
    return true;
}

bool platform_set_palette(const uint8_t palette[256][3])
{
    if (!surface_made) return false;
    for (int i = 0; i < 256; i++)
        display_colours[i] = 0xFF000000u | static_cast<uint32_t>(palette[i][2]) << 16 |
                             static_cast<uint32_t>(palette[i][1]) << 8 | palette[i][0];
    return true;
}

uint8_t* platform_lock_back_buffer() { return back_buffer_ready ? back_buffer : nullptr; }
void platform_unlock_back_buffer() {}

int platform_flip()
{
    frame_presented();
    if (!surface_made) return PLATFORM_FLIP_LOST;
    show_back_buffer();
    if (settings.frames_per_second > 0) {
        double now = emscripten_get_now();
        int64_t wait_ns = pace_wait_ns(&pace, static_cast<int64_t>(now * 1e6));
        page_wait_frame(now + static_cast<double>(wait_ns) / 1e6);
    } else {
        // Unpaced: the browser still needs its turn to show the frame and take events.
        emscripten_sleep(0);
    }
    return PLATFORM_FLIP_SHOWN;
}

// A 2D canvas keeps its pixels: nothing is ever lost to restore.
bool platform_restore() { return surface_made; }

uint8_t* platform_begin_text() { return back_buffer_ready ? back_buffer : nullptr; }
void platform_end_text() {}

void platform_release_back_buffer() { back_buffer_ready = false; }
void platform_release_primary_surface() { surface_made = false; }

void platform_release_display()
{
    // The pointer goes back to the page; the last frame stays on it.
    if (pointer_locked) emscripten_exit_pointerlock();
    display_made = false;
}

// ---- Input ----------------------------------------------------------------------------

bool platform_create_input() { return input_ready = window_made; }

bool platform_create_mouse() { return mouse_created = input_ready; }
bool platform_create_keyboard() { return keyboard_created = input_ready; }

bool platform_acquire_mouse()
{
    if (!mouse_created) return false;
    mouse_wanted = true;
    mouse_acquired = has_focus;
    return true;
}

bool platform_acquire_keyboard()
{
    if (!keyboard_created) return false;
    keyboard_wanted = true;
    keyboard_acquired = has_focus;
    return true;
}

bool platform_unacquire_mouse()
{
    mouse_wanted = mouse_acquired = false;
    if (pointer_locked) emscripten_exit_pointerlock();
    return true;
}

void platform_set_paused(bool paused)
{
    game_paused = paused;
    if (!paused) return;
    if (pointer_locked) emscripten_exit_pointerlock();
    web_drop_motion();
}

bool platform_unacquire_keyboard()
{
    keyboard_wanted = keyboard_acquired = false;
    return true;
}

bool platform_read_mouse(int32_t* dx, int32_t* dy, uint8_t buttons[2])
{
    if (!mouse_acquired || !has_focus) return record_mouse_read(false, 0, 0, buttons);
    web_mouse_read(game_paused || dialog_open, dx, dy, buttons);
    return record_mouse_read(true, *dx, *dy, buttons);
}

bool platform_read_keyboard(uint8_t state[256])
{
    // A keyboard read begins the frame: its tick is taken here.
    uint32_t frame_tick = frame_clock_begin_frame();
    bool ok = keyboard_acquired && has_focus;
    if (ok) {
        // The Gamepad API has no events: the pads are read once a frame, here.
        int16_t axes[PAD_AXES] = {};
        int held = page_read_gamepads(axes);
        web_gamepad_poll(axes, (held & 1) != 0, (held & 2) != 0, (held & 4) != 0);
        web_keys_read(state, game_paused);
    }
    record_keyboard_read(ok, state, frame_tick);
    return ok;
}

// ---- Clock, calendar, message boxes ---------------------------------------------------

uint32_t platform_clock_ms() { return page_ticks(); }

void platform_idle() { emscripten_sleep(1); }

void platform_message_box(const char* text, const char* caption, int icon)
{
    record_message_box(text, caption, icon);
    // The dialog needs the pointer and the keys: the game gets neither while it is up,
    // nor a key that was pressed for it.
    if (pointer_locked) emscripten_exit_pointerlock();
    if (icon == PLATFORM_ICON_ERROR) std::fprintf(stderr, "%s: %s\n", caption, text);
    dialog_open = true;
    page_dialog(text, caption, icon == PLATFORM_ICON_ERROR);
    dialog_open = false;
    web_input_release_all();
}

// ---- Called by the page's buttons -------------------------------------------------------

// A key tapped from the page (the screenshot button presses Print Screen): read held
// once by the next keyboard read.
extern "C" EMSCRIPTEN_KEEPALIVE void web_tap_key(int scan_code)
{
    if (scan_code <= 0 || scan_code > 255) return;
    web_key_down(static_cast<uint8_t>(scan_code));
    web_key_up(static_cast<uint8_t>(scan_code));
}

// The page has no window mode of its own to keep in the settings file.
bool sdl_window_was_windowed(bool*) { return false; }

void platform_keep_settings_with(void (*keep)()) { keep_settings = keep; }
