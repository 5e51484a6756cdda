// Drives the rasterizer and the ball routines with arbitrary arguments: corners and radii
// anywhere in the 32-bit range; lights, depths, views and world points of any double.
// Every write must stay inside the two buffers and every call must finish quickly, drawn
// at once or by the drawing threads.
#include <algorithm>
#include <cstring>

#include "render/balls.h"
#include "render/discs.h"
#include "render/draw_threads.h"
#include "render/lines.h"
#include "render/nearest_first.h"
#include "render/pixel_loops.h"
#include "render/faces.h"
#include "render/frame.h"
#include "render/palette.h"
#include "render/projection.h"
#include "render/rasterizer.h"
#include "world/trig.h"

static uint8_t frame[SCREEN_PIXELS];

// What case 6 draws on each drawing thread.
static struct { const int32_t* corners; const uint8_t* rgb; const double* lights; double depth; } shared;

static void draw_shared()
{
    fill_face(shared.corners, shared.rgb, shared.lights);
    draw_disc_on_rows(shared.corners[0], shared.corners[1], shared.depth, shared.corners[2]);
}

// The same kept and drawn nearest first, the face twice: once before the disc, once after.
static void draw_shared_nearest_first()
{
    start_nearest_first();
    draw_shared();
    fill_face(shared.corners, shared.rgb, shared.lights);
    finish_nearest_first();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    [[maybe_unused]] static bool ready = (build_trig_tables(), build_palette(), build_dither_tables(), true);
    // The input is laid over the arguments (missing bytes are zero): op picks the routine and
    // the mode; d holds a view matrix, face vertices or a ball, then lights.
    struct { uint8_t op; int32_t v[12]; double d[28]; uint8_t rgb[3]; } a{};
    std::memcpy(&a, data, std::min(size, sizeof a));
    auto& [op, v, d, rgb] = a;
    frame_buffer = frame;
    debug_flags = (op & 0x80) ? DEBUG_SOLID : 0;
    set_wide_vectors((op & 0x10) == 0);  // 128- or 256-bit span loops
    std::memcpy(view_matrix, d, sizeof view_matrix);
    std::memcpy(quad_vertices, d + 12, sizeof quad_vertices);
    switch (op & 0x07) {
    case 0:
        fill_polygon(v, rgb, d + 24);
        break;
    case 1: draw_line(v[0], v[1], v[2], v[3], v[4]); break;
    case 2: draw_disc(v[0], v[1], d[0], v[2]); break;
    case 3: draw_circle(v[0], v[1], v[2], v[3]); break;
    case 4: draw_polygon(rgb, d[24], d[25], d[26], d[27]); break;
    case 6: {
        // A face and a disc, drawn by the threads the op's bit 3 asks for, nearest first
        // if bit 5 is set.
        set_draw_threads((op & 0x08) ? 2 : 1);
        shared = {v, rgb, d + 24, d[0]};
        run_on_draw_threads((op & 0x20) ? draw_shared_nearest_first : draw_shared);
        break;
    }
    default: draw_ball(d[12], d[13], d[14], d[15]); break;
    }
    return 0;
}
