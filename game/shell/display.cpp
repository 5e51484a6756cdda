// The display device: window, flip chain with the palette, the locked back buffer
// behind frame_buffer, overlay text and presentation.
#include "shell/display.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/brightness.h"
#include "shell/font.h"

namespace {

const char* const fatal_caption = "Fatal Error";

// What init_display has created, so that shutdown_display releases exactly that.
bool display_exists;
bool primary_surface_exists;
bool back_surface_exists;
bool back_surface_locked;

// Where drawing goes when the back buffer cannot be locked: the renderer always has
// somewhere harmless to write, and the frame is simply not seen.
alignas(64) uint8_t scratch_frame[SCREEN_PIXELS];

// The overlay texts drawn since the last present, for traces of scripted runs.
constexpr int overlay_slots = 16;
constexpr int overlay_text_size = 96;
char overlay_texts[overlay_slots][overlay_text_size];
int overlay_texts_drawn;

void fatal_message(const char* text) { platform_message_box(text, fatal_caption, PLATFORM_ICON_ERROR); }

// Locks the back buffer again and points frame_buffer at it (or at the scratch frame).
void lock_frame()
{
    uint8_t* memory = platform_lock_back_buffer();
    back_surface_locked = memory != nullptr;
    frame_buffer = memory ? memory : scratch_frame;
}

void unlock_frame()
{
    if (back_surface_locked) platform_unlock_back_buffer();
    back_surface_locked = false;
}

void record_overlay_text(const char* text)
{
    if (overlay_texts_drawn >= overlay_slots) return;
    std::snprintf(overlay_texts[overlay_texts_drawn], overlay_text_size, "%s", text);
    overlay_texts_drawn++;
}

}  // namespace

bool init_display()
{
    if (!platform_register_window_class()) {
        fatal_message("The window class could not be registered.");
        return false;
    }
    if (!platform_create_window("Drovemaze")) {
        fatal_message("The window could not be created.");
        return false;
    }
    platform_show_window();
    build_dither_tables();
    if (!platform_create_display()) {
        fatal_message("The DirectDraw object could not be created.");
        return false;
    }
    display_exists = true;
    if (!platform_set_exclusive()) {
        fatal_message("Could not get exclusive mode.");
        return false;
    }
    if (!platform_set_display_mode()) {
        fatal_message("Could not change video mode.");
        return false;
    }
    if (!platform_create_primary_surface()) return false;
    primary_surface_exists = true;
    if (!platform_get_back_buffer()) return false;
    back_surface_exists = true;
    lock_frame();
    build_palette();
    if (!platform_set_palette(shown_palette())) return false;
    platform_hide_cursor();
    overlay_texts_drawn = 0;
    return true;
}

void present_frame()
{
    if (!back_surface_exists) return;
    unlock_frame();
    // The flip never waits; a lost surface is restored and this frame is not shown.
    if (platform_flip() == PLATFORM_FLIP_LOST) platform_restore();
    overlay_texts_drawn = 0;
    lock_frame();
}

void clear_frame(int colour)
{
    std::memset(frame_buffer ? frame_buffer : scratch_frame, colour & 0xFF, SCREEN_PIXELS);
    // Every byte 0xC8 makes each depth about -4.3e42, below any depth ever drawn.
    std::memset(depth_buffer, 0xC8, sizeof depth_buffer);
    depth_buffer_cleared = true;
}

void draw_text(const char* text, int x, int y, int red, int green, int blue)
{
    if (!back_surface_exists || !text) return;
    unlock_frame();
    uint8_t* surface = platform_begin_text();
    if (surface) {
        int index = nearest_palette_index(red & 0xFF, green & 0xFF, blue & 0xFF);
        draw_font_text(surface, text, x, y, static_cast<uint8_t>(index));
        platform_end_text();
        record_overlay_text(text);
    }
    lock_frame();
}

void shutdown_display()
{
    if (display_exists) {
        if (back_surface_exists) platform_release_back_buffer();
        if (primary_surface_exists) platform_release_primary_surface();
        platform_release_display();
    }
    display_exists = false;
    primary_surface_exists = false;
    back_surface_exists = false;
    back_surface_locked = false;
    frame_buffer = scratch_frame;
}

int overlay_text_count() { return overlay_texts_drawn; }

const char* overlay_text(int index)
{
    if (index < 0 || index >= overlay_texts_drawn) return "";
    return overlay_texts[index];
}
