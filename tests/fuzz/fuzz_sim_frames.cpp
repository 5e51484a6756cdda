// The simulation's frames on arbitrary world state: any cell words, any entity positions
// and velocities (every bit pattern of a double, NaN and infinities included), any block
// index, clock and mouse. No frame may read or write outside the tables.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/script/script_platform.h"
#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/steering.h"
#include "sim/wanderers.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;

    template <typename T> T take()
    {
        T value{};
        size_t n = size < sizeof value ? size : sizeof value;
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static bool tables_built = false;
    if (!tables_built) {
        build_trig_tables();
        tables_built = true;
    }
    Input in{bytes, size};
    script_reset();
    std::memset(cells, 0, sizeof cells);
    std::memset(cell_colors, 0, sizeof cell_colors);
    // A few cell words near the entities' likely cells, at any place of the grid.
    int words = in.take<uint8_t>() % 32;
    for (int i = 0; i < words; i++) {
        uint16_t at = in.take<uint16_t>();
        cells[at >> 15][(at >> 6) & 63][at & 63] = in.take<uint16_t>();
        if (in.take<uint8_t>() == 0xB1) {
            cell_colors[(at >> 6) & 63][at & 63][2] = 255;  // a goal square
        }
    }
    entity_count = in.take<uint8_t>() % 34;
    block_index = static_cast<int8_t>(in.take<uint8_t>());
    for (Entity& e : entities) {
        e = Entity{};
        if (in.size == 0) continue;
        e.type = in.take<uint8_t>() % 4;
        e.x = in.take<double>();
        e.y = in.take<double>();
        e.z = in.take<double>();
        e.vx = in.take<double>();
        e.vy = in.take<double>();
        e.vz = in.take<double>();
        e.heading = in.take<double>();
    }
    player_index = 0;
    wander_countdown = in.take<int32_t>();
    first_collision_pass = in.take<uint8_t>() & 1;
    last_cell_row = in.take<int32_t>();
    last_cell_col = in.take<int32_t>();
    last_cell_layer = in.take<int32_t>();
    motion_tick = in.take<uint32_t>();
    force_tick = in.take<uint32_t>();
    camera_focus_x = camera_focus_y = 5.0;
    camera_distance = 7.0;
    camera_pitch = 0.1;
    camera_yaw = 0.0;
    level_done = level_failed = 0;

    uint32_t tick = in.take<uint32_t>();
    for (int frame = 0; frame < 16; frame++) {
        tick += in.take<uint16_t>();
        script_override_ticks(tick);
        uint8_t buttons = in.take<uint8_t>();
        script_override_mouse(in.take<int32_t>(), in.take<int32_t>(), buttons & 1, buttons & 2);
        update_wanderers();
        steer_player();
        integrate_motion();
        update_player();
        Entity& b = entities[player_index];
        b.orient_a = b.orient_b = 0;
        b.heading = camera_yaw;
        follow_camera();
        if (camera_distance < 2.5 || !std::isfinite(camera_focus_x) || !std::isfinite(camera_focus_y))
            std::abort();
        if (level_done) level_failed = level_done = 0;
    }
    return 0;
}
