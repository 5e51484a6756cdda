#include "platform/sdl/sdl_screen.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

bool shows_nothing(const char* driver)
{
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Starts video with SDL's choice of driver, or with the one the hint names.
bool start_video_with(const char* driver)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
    if (started && shows_nothing(SDL_GetCurrentVideoDriver())) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display to show a window on");
        return false;
    }
    return started;
}

}  // namespace

bool sdl_screen_start_video()
{
    if (std::getenv("SDL_VIDEODRIVER")) return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (start_video_with(nullptr)) return true;
    // SDL's own pass falls through to a driver that shows nothing when the display
    // server refuses a connection for a moment (an X server resetting after its last
    // client left): ask for the windowing systems by name a few times, and report X's
    // answer if none comes up.
    char x11_failure[256] = "";
    for (int attempt = 0; attempt < 3; attempt++) {
        SDL_Delay(200);
        if (start_video_with("x11")) return true;
        std::snprintf(x11_failure, sizeof x11_failure, "%s", SDL_GetError());
        if (start_video_with("wayland")) return true;
    }
    SDL_SetError("%s", x11_failure);
    return false;
}

namespace {

// A renderer of the given kind showing 640 x 480 logical pixels, proven by the frame's
// texture; on any failure nothing of it is left.
bool try_renderer(SdlScreen* screen, Uint32 flags)
{
    screen->renderer = SDL_CreateRenderer(screen->window, -1, flags);
    if (!screen->renderer) return false;
    if (SDL_RenderSetLogicalSize(screen->renderer, PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT) == 0 &&
        sdl_screen_create_texture(screen))
        return true;
    sdl_screen_destroy_renderer(screen);
    return false;
}

// A failed OpenGL attempt can leave SDL's window recreated for OpenGL and unusable for
// the software renderer: make a plain one in its place.
bool replace_window(SdlScreen* screen)
{
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(screen->window, &x, &y);
    SDL_GetWindowSize(screen->window, &width, &height);
    Uint32 keep = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN | SDL_WINDOW_SHOWN;
    Uint32 flags = SDL_GetWindowFlags(screen->window) & keep;
    char title[128];
    std::snprintf(title, sizeof title, "%s", SDL_GetWindowTitle(screen->window));
    SDL_Window* fresh = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!fresh) return false;
    SDL_DestroyWindow(screen->window);
    screen->window = fresh;
    return true;
}

// True when the renderer draws through OpenGL that a CPU rasterizes (llvmpipe, softpipe,
// swrast: a machine without a GPU, a virtual X display). Scaling the frame through that
// costs several times what the game's own drawing does; SDL's software renderer with a
// plain window framebuffer does the same work at a fraction of it.
bool renderer_is_software_opengl(SDL_Renderer* renderer)
{
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int gl_renderer = 0x1F01;
    auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const char* name = get_string ? reinterpret_cast<const char*>(get_string(gl_renderer)) : nullptr;
    if (!name) return false;
    static const char* const cpu_rasterizers[] = {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"};
    for (const char* cpu : cpu_rasterizers)
        if (std::strstr(name, cpu)) return true;
    return false;
}

}  // namespace

bool sdl_screen_create_renderer(SdlScreen* screen)
{
    if (!screen->window) return false;
    // Nearest-neighbour scaling keeps the dither pattern crisp. Vsync only when asked
    // for (paced frames on a display at least as fast as the pace); otherwise
    // presenting never blocks the frame loop.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, screen->vsync ? "1" : "0");
    if (try_renderer(screen, SDL_RENDERER_ACCELERATED)) {
        if (!renderer_is_software_opengl(screen->renderer)) return true;
        sdl_screen_destroy_renderer(screen);
        // The software renderer's window surface straight to the display, not through
        // OpenGL again.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    // Without usable OpenGL the frame still shows, scaled by SDL's software renderer.
    if (try_renderer(screen, SDL_RENDERER_SOFTWARE)) return true;
    return replace_window(screen) && try_renderer(screen, SDL_RENDERER_SOFTWARE);
}

bool sdl_screen_create_texture(SdlScreen* screen)
{
    if (!screen->renderer) return false;
    if (screen->texture) return true;
    screen->texture = SDL_CreateTexture(screen->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT);
    if (!screen->texture) return false;
    SDL_SetTextureScaleMode(screen->texture, SDL_ScaleModeNearest);
    return true;
}

void sdl_screen_set_palette(SdlScreen* screen, const uint8_t palette[256][3])
{
    for (int i = 0; i < 256; i++)
        screen->palette[i] = 0xFF000000u | static_cast<uint32_t>(palette[i][0]) << 16 |
                             static_cast<uint32_t>(palette[i][1]) << 8 | palette[i][2];
}

SDL_Rect sdl_screen_picture_area(int output_width, int output_height)
{
    SDL_Rect area{0, 0, output_width, output_height};
    // Cross-multiplied, so no rounding decides which side bounds the picture.
    if (static_cast<int64_t>(output_width) * PLATFORM_SCREEN_HEIGHT >=
        static_cast<int64_t>(output_height) * PLATFORM_SCREEN_WIDTH)
        area.w = static_cast<int>(static_cast<int64_t>(output_height) * PLATFORM_SCREEN_WIDTH / PLATFORM_SCREEN_HEIGHT);
    else
        area.h = static_cast<int>(static_cast<int64_t>(output_width) * PLATFORM_SCREEN_HEIGHT / PLATFORM_SCREEN_WIDTH);
    area.x = (output_width - area.w) / 2;
    area.y = (output_height - area.h) / 2;
    return area;
}

int sdl_screen_upscale_factor(int area_width, int area_height)
{
    if (area_width <= 0 || area_height <= 0) return 0;
    if (area_width % PLATFORM_SCREEN_WIDTH == 0 &&
        area_width / PLATFORM_SCREEN_WIDTH * PLATFORM_SCREEN_HEIGHT == area_height)
        return 0;
    int across = (area_width + PLATFORM_SCREEN_WIDTH - 1) / PLATFORM_SCREEN_WIDTH;
    int down = (area_height + PLATFORM_SCREEN_HEIGHT - 1) / PLATFORM_SCREEN_HEIGHT;
    return across > down ? across : down;
}

int sdl_screen_window_factor(int space_width, int space_height)
{
    int across = space_width / PLATFORM_SCREEN_WIDTH;
    int down = space_height / PLATFORM_SCREEN_HEIGHT;
    int factor = across < down ? across : down;
    return factor < 1 ? 1 : factor;
}

namespace {

// The frame repeated factor times in the render target, made (or remade at a new
// factor) as needed; false where the renderer cannot draw into a texture.
bool draw_upscaled(SdlScreen* screen, int factor)
{
    if (screen->upscaled && screen->upscaled_factor != factor) {
        SDL_DestroyTexture(screen->upscaled);
        screen->upscaled = nullptr;
    }
    if (!screen->upscaled) {
        screen->upscaled = SDL_CreateTexture(screen->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                             PLATFORM_SCREEN_WIDTH * factor, PLATFORM_SCREEN_HEIGHT * factor);
        if (!screen->upscaled) return false;
        screen->upscaled_factor = factor;
        SDL_SetTextureScaleMode(screen->upscaled, SDL_ScaleModeLinear);
    }
    if (SDL_SetRenderTarget(screen->renderer, screen->upscaled) != 0) return false;
    SDL_SetTextureScaleMode(screen->texture, SDL_ScaleModeNearest);
    bool drawn = SDL_RenderCopy(screen->renderer, screen->texture, nullptr, nullptr) == 0;
    return SDL_SetRenderTarget(screen->renderer, nullptr) == 0 && drawn;
}

}  // namespace

bool sdl_screen_present(SdlScreen* screen, const uint8_t* frame)
{
    if (!screen->renderer || !screen->texture) return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(screen->texture, nullptr, &pixels, &pitch) != 0) return false;
    // The one palette conversion of the frame.
    for (int y = 0; y < PLATFORM_SCREEN_HEIGHT; y++) {
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * pitch);
        const uint8_t* in = frame + y * PLATFORM_SCREEN_WIDTH;
        for (int x = 0; x < PLATFORM_SCREEN_WIDTH; x++) out[x] = screen->palette[in[x]];
    }
    SDL_UnlockTexture(screen->texture);
    // The scaling below addresses whole output pixels: SDL's own logical-size scaling
    // (which rounds each frame pixel to 1, 2 or 3 of them) stays off.
    int logical_width = 0, logical_height = 0;
    SDL_RenderGetLogicalSize(screen->renderer, &logical_width, &logical_height);
    if (logical_width != 0 || logical_height != 0) SDL_RenderSetLogicalSize(screen->renderer, 0, 0);
    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(screen->renderer, &output_width, &output_height) != 0) return false;
    SDL_Rect area = sdl_screen_picture_area(output_width, output_height);
    int factor = sdl_screen_upscale_factor(area.w, area.h);
    SDL_Texture* shown = screen->texture;
    SDL_SetTextureScaleMode(screen->texture, factor == 1 ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    // Without render targets the frame is still shown, its pixels merely repeated.
    if (factor > 1 && draw_upscaled(screen, factor)) shown = screen->upscaled;
    SDL_SetRenderDrawColor(screen->renderer, 0, 0, 0, 255);
    if (SDL_RenderClear(screen->renderer) != 0) return false;
    if (SDL_RenderCopy(screen->renderer, shown, nullptr, &area) != 0) return false;
    SDL_RenderPresent(screen->renderer);
    screen->presents++;
    return true;
}

void sdl_screen_destroy_texture(SdlScreen* screen)
{
    if (screen->upscaled) SDL_DestroyTexture(screen->upscaled);
    screen->upscaled = nullptr;
    screen->upscaled_factor = 0;
    if (screen->texture) SDL_DestroyTexture(screen->texture);
    screen->texture = nullptr;
}

void sdl_screen_destroy_renderer(SdlScreen* screen)
{
    sdl_screen_destroy_texture(screen);
    if (screen->renderer) SDL_DestroyRenderer(screen->renderer);
    screen->renderer = nullptr;
}
