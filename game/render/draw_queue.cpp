#include "render/draw_queue.h"

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "render/discs.h"
#include "render/rasterizer.h"

namespace {

struct Command {
    bool disc;
    uint8_t rgb[3];
    int32_t v[12];     // face corners; a disc's centre x, y and radius
    double values[4];  // face lights; a disc's depth
};

std::vector<Command> commands;
bool queue_open;
int thread_count = 1;

// The helper thread draws the odd rows. The main thread announces a frame by raising
// generation and waits for busy to fall back to 0.
std::thread helper;
bool helper_running;
std::atomic<uint32_t> generation{0};
std::atomic<int> busy{0};
std::atomic<bool> stopping{false};

// Frames follow each other within a fraction of a millisecond: a short spin before
// sleeping saves the cost of a wake-up through the kernel on either side.
constexpr int spin_rounds = 1000;

void spin_pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

template <typename T>
void wait_while_equal(const std::atomic<T>& value, T old)
{
    for (int i = 0; i < spin_rounds && value.load(std::memory_order_acquire) == old; i++) spin_pause();
    while (value.load(std::memory_order_acquire) == old) value.wait(old, std::memory_order_acquire);
}

void draw_commands(int row_phase, int row_step)
{
    for (const Command& c : commands) {
        if (c.disc) draw_disc_rows(c.v[0], c.v[1], c.values[0], c.v[2], row_phase, row_step);
        else fill_face_rows(c.v, c.rgb, c.values, row_phase, row_step);
    }
}

void helper_main()
{
    uint32_t seen = 0;
    for (;;) {
        wait_while_equal(generation, seen);
        seen = generation.load(std::memory_order_acquire);
        if (stopping.load(std::memory_order_acquire)) return;
        draw_commands(1, 2);
        busy.store(0, std::memory_order_release);
        busy.notify_one();
    }
}

void stop_helper()
{
    stopping.store(true, std::memory_order_release);
    generation.fetch_add(1, std::memory_order_acq_rel);
    generation.notify_one();
    helper.join();
}

void start_helper()
{
    if (helper_running) return;
    helper = std::thread(helper_main);
    helper_running = true;
    std::atexit(stop_helper);
}

}  // namespace

void set_draw_threads(int count)
{
    thread_count = count < 2 ? 1 : 2;
}

int draw_threads() { return thread_count; }

void open_draw_queue()
{
    commands.clear();
    queue_open = true;
}

void finish_draw_queue()
{
    queue_open = false;
    if (commands.empty()) return;
    if (draw_threads() == 1) {
        draw_commands(0, 1);
    } else {
        start_helper();
        busy.store(1, std::memory_order_relaxed);
        generation.fetch_add(1, std::memory_order_acq_rel);
        generation.notify_one();
        draw_commands(0, 2);
        wait_while_equal(busy, 1);
    }
    commands.clear();
}

void queue_or_fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights)
{
    if (!queue_open) {
        fill_face_rows(corners, rgb, lights, 0, 1);
        return;
    }
    Command& c = commands.emplace_back();
    c.disc = false;
    for (int i = 0; i < 3; i++) c.rgb[i] = rgb[i];
    for (int i = 0; i < 12; i++) c.v[i] = corners[i];
    for (int i = 0; i < 4; i++) c.values[i] = lights[i];
}

void queue_or_draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius)
{
    if (!queue_open) {
        draw_disc(cx, cy, depth, radius);
        return;
    }
    Command& c = commands.emplace_back();
    c.disc = true;
    c.v[0] = cx;
    c.v[1] = cy;
    c.v[2] = radius;
    c.values[0] = depth;
}
