// The display device: full-screen window, 640 x 480 x 8 flip chain with the palette,
// the locked back buffer behind frame_buffer, overlay text and presentation.
#pragma once

// Creates the window and the display in the order the game expects; shows its own
// message for the first five kinds of failure. False on any failure: the caller then
// calls shutdown_display.
bool init_display();
// Unlocks, flips without waiting (restoring lost surfaces, dropping that frame), locks.
void present_frame();
// Fills the frame with the colour's low 8 bits and resets the depth buffer.
void clear_frame(int colour);
// Draws text with its top-left corner at (x, y) in the palette entry nearest to the colour.
void draw_text(const char* text, int x, int y, int red, int green, int blue);
// Releases what exists; safe to call more than once.
void shutdown_display();

// The overlay texts drawn since the last present, oldest first (for traces).
int overlay_text_count();
const char* overlay_text(int index);
