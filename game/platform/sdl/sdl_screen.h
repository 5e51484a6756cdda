// The 640 x 480 frame of palette indices on an SDL window: converted through the palette
// once per present into a streaming texture and shown in the window's 4:3 area (black
// bars). Where that area is a whole multiple of the frame, pixels are simply repeated;
// elsewhere the frame is repeated to the smallest whole multiple that covers the area,
// in a render target, and that is smoothed down to the area, so every frame pixel gets
// the same size and the 2 x 2 dither stays an even pattern. Shared by the SDL platform
// and the replay viewer.
#pragma once

#include <SDL.h>

#include <cstdint>

struct SdlScreen {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    SDL_Texture* upscaled;  // render target of upscaled_factor times the frame, made when needed
    int upscaled_factor;
    uint32_t presents;  // frames shown so far: lets window changes wait for the next frame
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
// The 4:3 area of an output of the given size, centred: the whole height where the
// output is wider than 4:3, else the whole width.
SDL_Rect sdl_screen_picture_area(int output_width, int output_height);
// How many times the frame is repeated before it is smoothed down to an area of this
// size: 0 when the area is itself a whole multiple (repeating alone, no smoothing),
// else the smallest whole multiple that covers the area (1 for an area smaller than
// the frame, which is then smoothed directly).
int sdl_screen_upscale_factor(int area_width, int area_height);
// The largest whole multiple of the frame that fits in a space of the given size, at
// least 1: the size of the game as a window.
int sdl_screen_window_factor(int space_width, int space_height);
void sdl_screen_set_palette(SdlScreen* screen, const uint8_t palette[256][3]);
// Converts the frame through the palette and shows it; false when it could not be shown.
bool sdl_screen_present(SdlScreen* screen, const uint8_t* frame);
// Destroys the frame's texture and the upscaling target; the target is made again by
// the next present, so restoring after a lost device needs only the texture.
void sdl_screen_destroy_texture(SdlScreen* screen);
void sdl_screen_destroy_renderer(SdlScreen* screen);
