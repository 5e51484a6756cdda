// A frame of our own with guard bytes around it, and the tables the renderer reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "render/frame.h"
#include "render/palette.h"
#include "render/scene.h"
#include "world/trig.h"

namespace render_test {

constexpr int guard_bytes = 4096;
constexpr uint8_t guard_value = 0xA5;
constexpr uint8_t background = 0xEE;  // an index the renderer never writes
inline uint8_t guarded_frame[guard_bytes + SCREEN_PIXELS + guard_bytes];
inline uint8_t* const frame = guarded_frame + guard_bytes;

// Tables built, frame cleared to the background, depth reset as the display does it
// (tests of the depth-free line and circle walkers may leave the depths alone).
inline void reset_frame(uint16_t flags, bool reset_depth = true)
{
    static bool tables_built = false;
    if (!tables_built) {
        build_trig_tables();
        build_palette();
        build_dither_tables();
        tables_built = true;
    }
    std::memset(guarded_frame, guard_value, sizeof guarded_frame);
    std::memset(frame, background, SCREEN_PIXELS);
    if (reset_depth) std::memset(depth_buffer, 0xC8, sizeof depth_buffer);
    frame_buffer = frame;
    debug_flags = flags;
}

inline bool guards_intact()
{
    for (int i = 0; i < guard_bytes; i++) {
        if (guarded_frame[i] != guard_value) return false;
        if (frame[SCREEN_PIXELS + i] != guard_value) return false;
    }
    return true;
}

inline uint8_t pixel(int x, int y) { return frame[y * SCREEN_WIDTH + x]; }
inline double depth_at(int x, int y) { return depth_buffer[y * SCREEN_WIDTH + x]; }
inline bool written(int x, int y) { return pixel(x, y) != background; }

// Which pixels differ from the background; reused between calls (fresh 300 KB vectors
// per case cost more than the walks under test).
inline const std::vector<uint8_t>& written_mask()
{
    static std::vector<uint8_t> out(SCREEN_PIXELS);
    for (int i = 0; i < SCREEN_PIXELS; i++) out[i] = frame[i] != background;
    return out;
}

// Camera space equal to world space.
inline void identity_view()
{
    std::memset(view_matrix, 0, sizeof view_matrix);
    view_matrix[0][0] = view_matrix[1][1] = view_matrix[2][2] = 1.0;
}

inline int written_count()
{
    int n = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) n += frame[i] != background;
    return n;
}

}  // namespace render_test
