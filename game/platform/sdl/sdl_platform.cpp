// The platform layer over SDL2: a full-screen-desktop window showing the 640 x 480
// frame, paced flips, SDL's clock and message boxes, and the event queue. The mouse,
// keyboard and gamepads are in sdl_input.cpp and sdl_gamepad.cpp.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform.h"
#include "platform/sdl/frame_clock.h"
#include "platform/sdl/frame_pace.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_record.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_box_guard.h"
#include "platform/sdl/sdl_window_state.h"
#include "platform/sdl/sdl_x11_watch.h"

namespace {

// The settings of the command line; these defaults without one.
PlatformSettings settings = {false, 60, 1.0, 0.2, 1.0, false};

SdlScreen screen;
bool video_ready;
bool back_buffer_ready;
alignas(64) uint8_t back_buffer[PLATFORM_FRAME_BYTES];  // rows start on cache lines
uint8_t current_palette[256][3];

// The display's refresh interval: a present sooner than this after the last one shown
// is dropped, as a flip that finds the display busy is.
uint64_t last_shown_counter;
uint64_t refresh_interval_counts;
bool surfaces_lost;
// Paced flips: the schedule of frame starts, and presents that waited longer than a
// frame for the display while synchronised to it (see show_back_buffer).
FramePace pace;
int slow_synchronised_presents;
// MAZE_FRAME_LOG names a file that gets one line per flip, "TICK RESULT SWITCHES SLEPT"
// (the tick counter as the flip returns; 0 shown, 1 lost, 2 dropped; full-screen
// switches carried out so far; microseconds slept for the pace after it): how the tests
// count the game's own frames against its own clock and wait for it to have seen their
// input. Written a line at a time.
std::FILE* frame_log;
unsigned fullscreen_switches;
int64_t paced_sleep_ns;
constexpr int slow_presents_before_unsync = 30;
constexpr int min_window_width = 320;
constexpr int min_window_height = 240;
// A dropped frame that nothing has replaced yet: shown by platform_idle once the
// display is ready, so a message held on screen during a wait is seen.
bool frame_pending;
bool quit_requested;  // the window was closed: from now on Escape reads as held

// Why the last start-up step failed, in SDL's words: printed with the error box, so a
// player (or a log) learns more than "could not be created".
char failure_reason[256];

// Whether the game's window was a window (1) or full screen (0) when it went; -1 before.
int window_mode_at_release = -1;

bool failed(const char* step)
{
    std::snprintf(failure_reason, sizeof failure_reason, "%s: %s", step, SDL_GetError());
    return false;
}

bool is_fullscreen() { return (SDL_GetWindowFlags(screen.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0; }

void toggle_fullscreen()
{
    if (!screen.window) return;
    fullscreen_switches++;
    bool fullscreen = is_fullscreen();
    if (!fullscreen) {
        // Back to the desktop's size first, so the window covers the screen even where
        // no window manager carries out the full-screen request (as at start-up).
        SDL_DisplayMode desktop;
        int display = SDL_GetWindowDisplayIndex(screen.window);
        if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop) == 0) {
            SDL_SetWindowPosition(screen.window, 0, 0);
            SDL_SetWindowSize(screen.window, desktop.w, desktop.h);
        }
    }
    SDL_SetWindowFullscreen(screen.window, fullscreen ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (fullscreen) {
        // As a window: the largest whole multiple of the frame that fits the desktop
        // (less its panels and the window's frame, where known), so pixels stay even.
        int display = SDL_GetWindowDisplayIndex(screen.window);
        SDL_Rect usable{0, 0, PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT};
        SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable);
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(screen.window, &top, &left, &bottom, &right) == 0) {
            usable.w -= left + right;
            usable.h -= top + bottom;
        }
        int scale = sdl_screen_window_factor(usable.w, usable.h);
        // Out of full screen the window manager is told the limit again (X forgets it there).
        SDL_SetWindowMinimumSize(screen.window, min_window_width, min_window_height);
        SDL_SetWindowSize(screen.window, PLATFORM_SCREEN_WIDTH * scale, PLATFORM_SCREEN_HEIGHT * scale);
        SDL_SetWindowPosition(screen.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
}

// Alt+Enter is a wish, carried out at most once per shown frame and only as the
// presses so far add up: each switch costs a round trip to the window system (tens of
// milliseconds), so a burst of queued presses must not cost one each.
int fullscreen_wish = -1;  // -1 none, 0 a window, 1 full screen
bool switched_once;
uint32_t presents_at_switch;

void note_fullscreen_press()
{
    if (!screen.window) return;
    bool base = fullscreen_wish < 0 ? is_fullscreen() : fullscreen_wish != 0;
    fullscreen_wish = base ? 0 : 1;
}

void carry_out_fullscreen_wish()
{
    if (fullscreen_wish < 0 || !screen.window || x11_window_taken_away()) return;
    if (switched_once && screen.presents == presents_at_switch) return;
    if ((fullscreen_wish != 0) != is_fullscreen()) {
        toggle_fullscreen();
        switched_once = true;
        presents_at_switch = screen.presents;
    }
    fullscreen_wish = -1;
}

bool display_ready(uint64_t now)
{
    return last_shown_counter == 0 || now - last_shown_counter >= refresh_interval_counts;
}

int64_t monotonic_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool show_back_buffer(uint64_t now)
{
    int64_t started = monotonic_ns();
    if (!sdl_screen_present(&screen, back_buffer)) return false;
    last_shown_counter = now;
    frame_pending = false;
    // A display that says it refreshes at least as often as the pace but keeps the
    // present waiting longer than a frame would set the pace itself: stop waiting for it.
    if (screen.vsync && settings.frames_per_second > 0) {
        bool slow = monotonic_ns() - started > 1000000000 / settings.frames_per_second;
        slow_synchronised_presents = slow ? slow_synchronised_presents + 1 : 0;
        if (slow_synchronised_presents >= slow_presents_before_unsync) {
            screen.vsync = false;
            SDL_RenderSetVSync(screen.renderer, 0);
        }
    }
    return true;
}

// Paced flips return when the next frame is due: sleeping, never spinning.
void wait_for_next_frame()
{
    int64_t wait = pace_wait_ns(&pace, monotonic_ns());
    paced_sleep_ns = wait > 0 ? wait : 0;
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
}

// The display's refresh rate, 60 where SDL does not know it.
int display_hertz()
{
    SDL_DisplayMode mode;
    int display = screen.window ? SDL_GetWindowDisplayIndex(screen.window) : 0;
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        return mode.refresh_rate;
    return 60;
}

// The largest whole multiple of the frame that fits the desktop's usable area, at least 1.
int window_scale()
{
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return 1;
    int scale = 1;
    while (PLATFORM_SCREEN_WIDTH * (scale + 1) <= usable.w && PLATFORM_SCREEN_HEIGHT * (scale + 1) <= usable.h) scale++;
    return scale;
}

// Nothing of the display can be released over a lost connection, and SDL, destroying a
// window, waits for an answer from the X server that never comes: the window, renderer
// and textures are forgotten instead (the process ends soon). From then on presents
// report a lost surface that cannot be restored, and nothing is drawn.
void forget_lost_display()
{
    screen.upscaled = nullptr;
    screen.texture = nullptr;
    screen.renderer = nullptr;
    screen.window = nullptr;
}


void handle_window_event(const SDL_WindowEvent& event)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        quit_requested = true;
        break;
    default:
        break;
    }
}

}  // namespace

void sdl_pump_events()
{
    x11_watch_window(screen.window);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_SYSWMEVENT:
            x11_note_raw_event(event.syswm.msg);
            break;
        case SDL_QUIT:
            quit_requested = true;
            break;
        case SDL_WINDOWEVENT:
            handle_window_event(event.window);
            sdl_input_event(event);
            break;
        case SDL_RENDER_DEVICE_RESET:
        case SDL_RENDER_TARGETS_RESET:
            surfaces_lost = true;
            break;
        case SDL_KEYDOWN:
            if (event.key.keysym.scancode == SDL_SCANCODE_RETURN && (event.key.keysym.mod & KMOD_ALT) &&
                !event.key.repeat)
                note_fullscreen_press();
            sdl_input_event(event);
            break;
        default:
            sdl_input_event(event);
            break;
        }
    }
    if (x11_window_taken_away()) quit_requested = true;
    if (x11_connection_lost()) forget_lost_display();
    carry_out_fullscreen_wish();
}

namespace {

void measure_refresh_interval()
{
    refresh_interval_counts = SDL_GetPerformanceFrequency() / static_cast<uint64_t>(display_hertz());
}

// A present ends the frame: tick reads from here on are the clock's own again.
void frame_presented()
{
    frame_clock_end_frame();
    record_present(back_buffer);
}

}  // namespace

// ---- Settings -------------------------------------------------------------------------

void platform_configure(const PlatformSettings* chosen)
{
    settings = *chosen;
    if (settings.frames_per_second < 0) settings.frames_per_second = 0;
    if (!(settings.mouse_speed > 0)) settings.mouse_speed = 1.0;
    sdl_input_configure(&settings);
    const char* log_path = std::getenv("MAZE_FRAME_LOG");
    if (log_path && *log_path && !frame_log) {
        frame_log = std::fopen(log_path, "w");
        // A line at a time, so a watcher sees the first flip as it happens.
        if (frame_log) std::setvbuf(frame_log, nullptr, _IOLBF, 0);
    }
}

// ---- Window ---------------------------------------------------------------------------

bool platform_register_window_class()
{
    if (video_ready) return true;
    if (!sdl_screen_start_video()) return failed("video");
    // No SDL_Quit at exit: when the X server goes away, Xlib ends the process through
    // exit(), and SDL_Quit would then wait forever on the dead connection. Releasing
    // the display destroys the window; the rest goes with the process.
    video_ready = true;
    return true;
}

bool platform_create_window(const char* title)
{
    if (!video_ready) return false;
    if (settings.windowed) {
        int scale = window_scale();
        screen.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         PLATFORM_SCREEN_WIDTH * scale, PLATFORM_SCREEN_HEIGHT * scale,
                                         SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    } else {
        // Created at the desktop's size as well, so the window covers the screen even
        // where no window manager carries out the full-screen request.
        SDL_DisplayMode desktop;
        int width = PLATFORM_SCREEN_WIDTH * 2;
        int height = PLATFORM_SCREEN_HEIGHT * 2;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            width = desktop.w;
            height = desktop.h;
        }
        screen.window = SDL_CreateWindow(title, 0, 0, width, height,
                                         SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    }
    if (!screen.window) return failed("window");
    // Paced frames are shown in step with the display (no tearing) only where it
    // refreshes at least as often as frames come, so its rate never slows the pace.
    screen.vsync = settings.frames_per_second > 0 && display_hertz() >= settings.frames_per_second;
    if (settings.frames_per_second > 0) pace_start(&pace, settings.frames_per_second);

    // A freshly shown full-screen window is in the foreground; a later focus change
    // tells otherwise.
    sdl_input_window_created();
    return true;
}

void platform_show_window()
{
    if (!screen.window) return;
    SDL_ShowWindow(screen.window);
    SDL_RaiseWindow(screen.window);
    sdl_pump_events();
}

void platform_hide_cursor() { SDL_ShowCursor(SDL_DISABLE); }

// ---- Display --------------------------------------------------------------------------

bool platform_create_display()
{
    if (!sdl_screen_create_renderer(&screen)) return failed("renderer");
    // Below half the frame the overlay's lines break up. Set once the renderer exists:
    // SDL makes the window anew for some renderers, and the new one forgets the limit.
    SDL_SetWindowMinimumSize(screen.window, min_window_width, min_window_height);
    return true;
}

bool platform_set_exclusive()
{
    if (!screen.renderer) return false;
    SDL_RaiseWindow(screen.window);
    return true;
}

bool platform_set_display_mode()
{
    if (!screen.renderer) return false;
    measure_refresh_interval();
    return SDL_RenderSetLogicalSize(screen.renderer, PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT) == 0 ||
           failed("logical size");
}

bool platform_create_primary_surface() { return sdl_screen_create_texture(&screen) || failed("texture"); }

bool platform_get_back_buffer()
{
    if (!screen.texture) return false;
    std::memset(back_buffer, 0, sizeof back_buffer);
    back_buffer_ready = true;
    return true;
}

bool platform_set_palette(const uint8_t palette[256][3])
{
    if (!screen.texture) return false;
    std::memcpy(current_palette, palette, sizeof current_palette);
    sdl_screen_set_palette(&screen, palette);
    return true;
}

uint8_t* platform_lock_back_buffer() { return back_buffer_ready ? back_buffer : nullptr; }
void platform_unlock_back_buffer() {}

int platform_flip()
{
    frame_presented();
    sdl_pump_events();
    int result = PLATFORM_FLIP_LOST;
    uint64_t now = SDL_GetPerformanceCounter();
    if (surfaces_lost || !screen.texture) {
        result = PLATFORM_FLIP_LOST;
    } else if (settings.frames_per_second > 0 ? show_back_buffer(now) : display_ready(now) && show_back_buffer(now)) {
        // Paced, every frame is shown; unpaced, one that comes sooner than the display
        // can show it is dropped, as a flip that finds the display busy is.
        result = PLATFORM_FLIP_SHOWN;
    } else {
        frame_pending = true;
        result = PLATFORM_FLIP_DROPPED;
    }
    paced_sleep_ns = 0;
    if (settings.frames_per_second > 0) wait_for_next_frame();
    if (frame_log) {
        std::fprintf(frame_log, "%u %d %u %lld\n", static_cast<unsigned>(SDL_GetTicks()), result, fullscreen_switches,
                     static_cast<long long>(paced_sleep_ns / 1000));
    }
    return result;
}

bool platform_restore()
{
    // After a device reset the texture (and perhaps the renderer) must be made anew.
    if (!screen.window) return false;
    sdl_screen_destroy_texture(&screen);
    if (!screen.renderer || !sdl_screen_create_texture(&screen)) {
        sdl_screen_destroy_renderer(&screen);
        if (!sdl_screen_create_renderer(&screen) || !sdl_screen_create_texture(&screen)) return false;
    }
    SDL_SetWindowMinimumSize(screen.window, min_window_width, min_window_height);
    sdl_screen_set_palette(&screen, current_palette);
    surfaces_lost = false;
    frame_pending = false;
    return true;
}

uint8_t* platform_begin_text() { return back_buffer_ready ? back_buffer : nullptr; }
void platform_end_text() {}

void platform_release_back_buffer() { back_buffer_ready = false; }
void platform_release_primary_surface() { sdl_screen_destroy_texture(&screen); }

void platform_release_display()
{
    if (screen.window) window_mode_at_release = is_fullscreen() ? 0 : 1;
    // The desktop comes back when the game's window goes.
    sdl_input_free_pointer(true);
    sdl_screen_destroy_renderer(&screen);
    if (screen.window) SDL_DestroyWindow(screen.window);
    screen.window = nullptr;
    SDL_ShowCursor(SDL_ENABLE);
}

bool sdl_window_was_windowed(bool* windowed)
{
    if (window_mode_at_release < 0) return false;
    *windowed = window_mode_at_release == 1;
    return true;
}

void platform_keep_settings_with(void (*)()) {}

bool sdl_quit_requested() { return quit_requested; }
SDL_Window* sdl_window() { return screen.window; }

uint32_t sdl_begin_frame() { return frame_clock_begin_frame(); }

// ---- Clock, message boxes ---------------------------------------------------------------

uint32_t platform_clock_ms() { return SDL_GetTicks(); }

void platform_idle()
{
    sdl_pump_events();
    uint64_t now = SDL_GetPerformanceCounter();
    if (frame_pending && !surfaces_lost && screen.texture && display_ready(now)) show_back_buffer(now);
    SDL_Delay(1);
}

void platform_message_box(const char* text, const char* caption, int icon)
{
    record_message_box(text, caption, icon);
    // The box needs the pointer: give it back while the box is up.
    sdl_input_free_pointer(true);
    Uint32 flags = icon == PLATFORM_ICON_ERROR ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    // Errors also go to stderr, with SDL's reason, where logs and terminals keep them.
    if (icon == PLATFORM_ICON_ERROR) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        if (failure_reason[0]) std::fprintf(stderr, "(%s)\n", failure_reason);
    }
    box_guard_begin();
    bool shown = SDL_ShowSimpleMessageBox(flags, caption, text, screen.window) == 0;
    box_guard_end();
    if (!shown && icon != PLATFORM_ICON_ERROR) std::fprintf(stderr, "%s: %s\n", caption, text);
    sdl_input_free_pointer(false);
}
