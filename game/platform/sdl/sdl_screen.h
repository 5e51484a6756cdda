// The 640 x 480 frame of palette indices on an SDL window: converted through the palette
// once per present into a streaming texture, scaled with its 4:3 aspect kept (black
// bars) and crisp pixels. Shared by the SDL platform and the replay viewer.
#pragma once

#include <SDL.h>

#include <cstdint>

struct SdlScreen {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    uint32_t palette[256];  // ARGB8888 of each palette entry
    bool vsync;             // renderers made from now on present in step with the display
};

// Starts SDL's video; false when it fails or when SDL could only fall back to a driver
// that shows nothing (offscreen, dummy) without the user having asked for it.
bool sdl_screen_start_video();

// A renderer that waits for the display only when screen->vsync asks it to, showing 640 x 480 logical
// pixels, with the frame's texture already made; the software renderer where the
// accelerated one fails. False on failure.
bool sdl_screen_create_renderer(SdlScreen* screen);
// The frame's streaming texture, kept if it already exists.
bool sdl_screen_create_texture(SdlScreen* screen);
void sdl_screen_set_palette(SdlScreen* screen, const uint8_t palette[256][3]);
// Converts the frame through the palette and shows it; false when it could not be shown.
bool sdl_screen_present(SdlScreen* screen, const uint8_t* frame);
void sdl_screen_destroy_texture(SdlScreen* screen);
void sdl_screen_destroy_renderer(SdlScreen* screen);
