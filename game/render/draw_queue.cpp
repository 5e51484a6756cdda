#include "render/draw_queue.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "render/discs.h"
#include "render/rasterizer.h"

namespace {

struct Command {
    bool disc;
    uint8_t rgb[3];
    int32_t v[12];     // face corners; a disc's centre x, y and radius
    double values[4];  // face lights; a disc's depth
};

// Far more than a frame holds (a few hundred faces).
Command commands[draw_queue_capacity];
uint32_t queued;       // commands in the queue, written by the caller only
bool queue_open;
bool helper_drawing;   // the helper takes part in the open frame
int thread_count = 1;

// The caller draws the even rows of each command as soon as it is queued; the helper
// thread follows the queue and draws the odd rows. The two meet only at these counters.
std::thread helper;
bool helper_running;
// Each on a cache line of its own: the one the caller writes for every command is not
// disturbed by the others.
alignas(64) std::atomic<uint32_t> generation{0};  // raised by the caller for each frame
alignas(64) std::atomic<uint32_t> published{0};   // commands the helper may draw, closed_bit once the frame ends
alignas(64) std::atomic<uint32_t> finished{0};    // the generation the helper has drawn completely
alignas(64) std::atomic<bool> helper_asleep{false};
alignas(64) std::atomic<bool> caller_asleep{false};
alignas(64) std::atomic<bool> stopping{false};
constexpr uint32_t closed_bit = 0x80000000u;

void spin_pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until value differs from old: spinning first, for frames follow each other
// within a fraction of a millisecond and a wake-up through the kernel costs tens of
// microseconds, then asleep. asleep tells the other side that a notify is needed.
void wait_for_change(const std::atomic<uint32_t>& value, uint32_t old, std::atomic<bool>& asleep,
                     std::chrono::microseconds spin_for)
{
    const auto spin_until = std::chrono::steady_clock::now() + spin_for;
    for (int round = 1; value.load(std::memory_order_acquire) == old; round++) {
        spin_pause();
        if (round % 64 == 0 && std::chrono::steady_clock::now() >= spin_until) break;
    }
    while (value.load(std::memory_order_acquire) == old) {
        // Announced before the value is checked again, so a change made after this
        // check sees asleep set and notifies (both sides use sequentially consistent order).
        asleep.store(true, std::memory_order_seq_cst);
        if (value.load(std::memory_order_seq_cst) == old) value.wait(old, std::memory_order_seq_cst);
        asleep.store(false, std::memory_order_relaxed);
    }
}

void change(std::atomic<uint32_t>& value, uint32_t next, const std::atomic<bool>& asleep)
{
    value.store(next, std::memory_order_seq_cst);
    if (asleep.load(std::memory_order_seq_cst)) value.notify_one();
}

void draw_command(const Command& c, int row_phase, int row_step)
{
    if (c.disc) draw_disc_rows(c.v[0], c.v[1], c.values[0], c.v[2], row_phase, row_step);
    else fill_face_rows(c.v, c.rgb, c.values, row_phase, row_step);
}

// Between frames the helper spins this long before it sleeps: longer than the gap
// between frames drawn back to back, a small share of a paced frame.
constexpr std::chrono::microseconds helper_spin{300};
// Within a frame the caller queues faster than the helper draws; a longer wait means
// the caller is held up elsewhere.
constexpr std::chrono::microseconds queue_spin{2000};

void helper_main()
{
    uint32_t seen = 0;
    for (;;) {
        wait_for_change(generation, seen, helper_asleep, helper_spin);
        seen = generation.load(std::memory_order_acquire);
        if (stopping.load(std::memory_order_acquire)) return;
        uint32_t drawn = 0;
        for (;;) {
            uint32_t now = published.load(std::memory_order_acquire);
            uint32_t count = now & ~closed_bit;
            while (drawn < count) draw_command(commands[drawn++], 1, 2);
            if (now & closed_bit) break;
            wait_for_change(published, now, helper_asleep, queue_spin);
        }
        change(finished, seen, caller_asleep);
    }
}

void stop_helper()
{
    stopping.store(true, std::memory_order_seq_cst);
    change(generation, generation.load() + 1, helper_asleep);
    helper.join();
}

void start_helper()
{
    if (helper_running) return;
    helper = std::thread(helper_main);
    helper_running = true;
    std::atexit(stop_helper);
}

// Ends the helper's part in the open frame once it has drawn what was queued.
void close_queue()
{
    const uint32_t frame = generation.load(std::memory_order_relaxed);
    change(published, queued | closed_bit, helper_asleep);
    // The helper only ever reports the generations in order, this frame's next.
    wait_for_change(finished, frame - 1, caller_asleep, queue_spin);
    helper_drawing = false;
}

// The next free command of the queue, or null when the caller is to draw the whole
// command itself: one thread, no open queue, or a full one.
Command* queue_command()
{
    if (!queue_open || !helper_drawing) return nullptr;
    if (queued < draw_queue_capacity) return &commands[queued];
    // The rest of the frame is drawn by the caller alone, after the helper's rows of
    // everything before, as each pixel needs.
    close_queue();
    return nullptr;
}

void publish_command()
{
    queued++;
    change(published, queued, helper_asleep);
}

}  // namespace

void set_draw_threads(int count)
{
    thread_count = count < 2 ? 1 : 2;
}

int draw_threads() { return thread_count; }

void open_draw_queue()
{
    queued = 0;
    queue_open = true;
    helper_drawing = draw_threads() == 2;
    if (!helper_drawing) return;
    start_helper();
    published.store(0, std::memory_order_relaxed);
    change(generation, generation.load(std::memory_order_relaxed) + 1, helper_asleep);
}

void finish_draw_queue()
{
    if (!queue_open) return;
    queue_open = false;
    if (helper_drawing) close_queue();
}

void queue_or_fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights)
{
    Command* c = queue_command();
    if (c == nullptr) {
        fill_face_rows(corners, rgb, lights, 0, 1);
        return;
    }
    c->disc = false;
    for (int i = 0; i < 3; i++) c->rgb[i] = rgb[i];
    for (int i = 0; i < 12; i++) c->v[i] = corners[i];
    for (int i = 0; i < 4; i++) c->values[i] = lights[i];
    publish_command();
    fill_face_rows(corners, rgb, lights, 0, 2);
}

void queue_or_draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius)
{
    Command* c = queue_command();
    if (c == nullptr) {
        draw_disc(cx, cy, depth, radius);
        return;
    }
    c->disc = true;
    c->v[0] = cx;
    c->v[1] = cy;
    c->v[2] = radius;
    c->values[0] = depth;
    publish_command();
    draw_disc_rows(cx, cy, depth, radius, 0, 2);
}
