#include "platform/sdl/sdl_viewer.h"

#include <SDL.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_x11_handlers.h"

namespace {

SdlScreen viewer;
bool viewer_active;
bool viewer_closed_by_user;
bool viewer_surfaces_lost;
bool paced;
uint32_t first_tick;
uint32_t first_real;
uint32_t previous_tick;

constexpr uint32_t longest_wait_milliseconds = 1000;  // a jump in the script is not waited out
constexpr uint32_t closing_hold_milliseconds = 1500;

// ---- The window taken away from outside ------------------------------------------
// Xlib's default handlers end the process when the X connection is lost (the viewer's
// client killed, the server gone) or at an error on a destroyed window: the replay and
// its trace would stop short. The viewer instead stops showing and never touches the
// display again (SDL would wait forever on a dead connection); the run goes on.
bool viewer_gone;
XErrorHandlerFunction previous_x_error_handler;

void note_gone()
{
    if (!viewer_gone) std::fprintf(stderr, "mazereplay: the window is gone; the replay goes on without it\n");
    viewer_gone = true;
}

int on_x_error(Display* display, XErrorEvent* error)
{
    int code = error->error_code;
    if (code == BadWindow || code == BadDrawable || code == BadGC) {
        note_gone();
        return 0;
    }
    return previous_x_error_handler ? previous_x_error_handler(display, error) : 0;
}

int on_x_connection_lost(Display*)
{
    note_gone();
    return 0;
}
void on_x_connection_lost_exit(Display*, void*) {}

void watch_window_from_outside()
{
    x11_set_handlers(viewer.window, on_x_error, on_x_connection_lost, on_x_connection_lost_exit,
                     &previous_x_error_handler);
}

void pump()
{
    if (viewer_gone) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
            viewer_closed_by_user = true;
        if (event.type == SDL_RENDER_DEVICE_RESET || event.type == SDL_RENDER_TARGETS_RESET) viewer_surfaces_lost = true;
    }
}

}  // namespace

bool viewer_open(const char* title)
{
    if (!sdl_screen_start_video()) {
        std::fprintf(stderr, "mazereplay: no window: %s\n", SDL_GetError());
        return false;
    }
    viewer.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, PLATFORM_SCREEN_WIDTH,
                                     PLATFORM_SCREEN_HEIGHT, SDL_WINDOW_RESIZABLE);
    if (!viewer.window || !sdl_screen_create_renderer(&viewer) || !sdl_screen_create_texture(&viewer)) {
        std::fprintf(stderr, "mazereplay: no window: %s\n", SDL_GetError());
        sdl_screen_destroy_renderer(&viewer);
        if (viewer.window) SDL_DestroyWindow(viewer.window);
        viewer.window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    viewer_active = true;
    viewer_gone = false;
    watch_window_from_outside();
    viewer_closed_by_user = false;
    viewer_surfaces_lost = false;
    paced = false;
    return true;
}

void viewer_show(const uint8_t* frame, const uint8_t palette[256][3], uint32_t tick)
{
    if (!viewer_active || viewer_closed_by_user || viewer_gone) return;
    pump();
    uint32_t now = SDL_GetTicks();
    if (!paced) {
        paced = true;
        first_tick = tick;
        first_real = now;
    } else if (tick - previous_tick > longest_wait_milliseconds) {
        // Start counting afresh after a long jump (or a wrap) of the script's clock.
        first_tick = tick;
        first_real = now;
    }
    previous_tick = tick;
    uint32_t due = first_real + (tick - first_tick);
    while (static_cast<int32_t>(due - SDL_GetTicks()) > 0 && !viewer_closed_by_user && !viewer_gone) {
        SDL_Delay(1);
        pump();
    }
    if (viewer_gone) return;
    if (viewer_surfaces_lost) {
        // The frame's texture and the upscaling target are made again.
        sdl_screen_destroy_texture(&viewer);
        if (!sdl_screen_create_texture(&viewer)) return;
        viewer_surfaces_lost = false;
    }
    sdl_screen_set_palette(&viewer, palette);
    sdl_screen_present(&viewer, frame);
}

void viewer_close()
{
    if (!viewer_active) return;
    viewer_active = false;
    uint32_t start = SDL_GetTicks();
    while (!viewer_closed_by_user && !viewer_gone && SDL_GetTicks() - start < closing_hold_milliseconds) {
        SDL_Delay(10);
        pump();
    }
    // Over a lost connection nothing can be released: it goes with the process.
    if (viewer_gone) return;
    sdl_screen_destroy_renderer(&viewer);
    SDL_DestroyWindow(viewer.window);
    viewer.window = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
