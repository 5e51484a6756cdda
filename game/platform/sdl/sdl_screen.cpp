#include "platform/sdl/sdl_screen.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

bool sdl_screen_start_video()
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (invisible && !std::getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display to show a window on");
        return false;
    }
    return true;
}

bool sdl_screen_create_renderer(SdlScreen* screen)
{
    if (!screen->window) return false;
    // Nearest-neighbour scaling keeps the dither pattern crisp; no vsync, so presenting
    // never blocks the frame loop.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    screen->renderer = SDL_CreateRenderer(screen->window, -1, SDL_RENDERER_ACCELERATED);
    if (!screen->renderer) screen->renderer = SDL_CreateRenderer(screen->window, -1, SDL_RENDERER_SOFTWARE);
    if (!screen->renderer) return false;
    if (SDL_RenderSetLogicalSize(screen->renderer, PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT) != 0) {
        sdl_screen_destroy_renderer(screen);
        return false;
    }
    return true;
}

bool sdl_screen_create_texture(SdlScreen* screen)
{
    if (!screen->renderer) return false;
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
    SDL_SetRenderDrawColor(screen->renderer, 0, 0, 0, 255);
    if (SDL_RenderClear(screen->renderer) != 0) return false;
    if (SDL_RenderCopy(screen->renderer, screen->texture, nullptr, nullptr) != 0) return false;
    SDL_RenderPresent(screen->renderer);
    return true;
}

void sdl_screen_destroy_texture(SdlScreen* screen)
{
    if (screen->texture) SDL_DestroyTexture(screen->texture);
    screen->texture = nullptr;
}

void sdl_screen_destroy_renderer(SdlScreen* screen)
{
    sdl_screen_destroy_texture(screen);
    if (screen->renderer) SDL_DestroyRenderer(screen->renderer);
    screen->renderer = nullptr;
}
