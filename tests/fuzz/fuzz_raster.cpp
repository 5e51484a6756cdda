// Drives the rasterizer and the ball routines with arbitrary arguments: corners and
// radii anywhere in the 32-bit range, lights and world coordinates of any double value.
// Every write must stay inside the two buffers and every call must finish quickly.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/balls.h"
#include "render/frame.h"
#include "render/palette.h"
#include "render/projection.h"
#include "render/rasterizer.h"
#include "render/scene.h"
#include "world/trig.h"

namespace {

uint8_t frame[SCREEN_PIXELS];

struct Reader {
    const uint8_t* data;
    size_t size;

    template <typename T>
    T take()
    {
        T value{};
        size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = false;
    if (!ready) {
        build_trig_tables();
        build_palette();
        build_dither_tables();
        ready = true;
    }
    frame_buffer = frame;
    Reader in{data, size};
    uint8_t op = in.take<uint8_t>();
    debug_flags = (op & 0x80) ? DEBUG_SOLID : 0;
    switch (op & 0x07) {
    case 0: {
        int32_t v[12];
        for (int32_t& x : v) x = in.take<int32_t>();
        uint8_t rgb[3] = {in.take<uint8_t>(), in.take<uint8_t>(), in.take<uint8_t>()};
        double l[4];
        for (double& x : l) x = in.take<double>();
        fill_polygon(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], rgb, l[0], l[1],
                     l[2], l[3]);
        break;
    }
    case 1: {
        int32_t v[4];
        for (int32_t& x : v) x = in.take<int32_t>();
        int32_t colour = in.take<int32_t>();
        draw_line(v[0], v[1], v[2], v[3], colour);
        break;
    }
    case 2: {
        int32_t cx = in.take<int32_t>(), cy = in.take<int32_t>();
        double depth = in.take<double>();
        int32_t r = in.take<int32_t>();
        draw_disc(cx, cy, depth, r);
        break;
    }
    case 3: {
        int32_t cx = in.take<int32_t>(), cy = in.take<int32_t>(), r = in.take<int32_t>();
        int32_t colour = in.take<int32_t>();
        draw_circle(cx, cy, r, colour);
        break;
    }
    case 4: {
        // A face in world space through an arbitrary view.
        for (auto& row : view_matrix) {
            for (double& x : row) x = in.take<double>();
        }
        for (auto& vertex : quad_vertices) {
            for (double& x : vertex) x = in.take<double>();
        }
        uint8_t rgb[3] = {in.take<uint8_t>(), in.take<uint8_t>(), in.take<uint8_t>()};
        double l[4];
        for (double& x : l) x = in.take<double>();
        draw_polygon(rgb, l[0], l[1], l[2], l[3]);
        break;
    }
    default: {
        for (auto& row : view_matrix) {
            for (double& x : row) x = in.take<double>();
        }
        double b[4];
        for (double& x : b) x = in.take<double>();
        draw_ball(b[0], b[1], b[2], b[3]);
        break;
    }
    }
    return 0;
}
