// The drawing threads: the hand-off of a frame's odd rows to a helper thread and back.
#include "render/draw_threads.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>


namespace {

// Two where the machine runs two threads at once.
const int automatic_count = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
int thread_count = automatic_count;
bool automatic = true;

// The rows the calling thread draws: y % row_step == row_phase.
thread_local int row_phase = 0;
thread_local int row_step = 1;

std::thread helper;
bool helper_running;
void (*frame_draw)();  // what the helper runs for the current frame

// Each on a cache line of its own.
alignas(64) std::atomic<uint32_t> generation{0};  // raised by the caller for each frame
alignas(64) std::atomic<uint32_t> claimed{0};     // the last generation whose odd rows someone took
alignas(64) std::atomic<uint32_t> finished{0};    // the last generation the helper has drawn
alignas(64) std::atomic<bool> helper_asleep{false};
alignas(64) std::atomic<bool> caller_asleep{false};
alignas(64) std::atomic<bool> stopping{false};

void spin_pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until value differs from old: spinning first, for frames drawn back to back
// follow each other within a fraction of a millisecond and a wake-up through the kernel
// costs tens of microseconds, then asleep. asleep tells the other side to notify.
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

// Frames drawn back to back start within this of each other. Between them the helper
// spins this long before it sleeps, longer than the gap between them.
constexpr std::chrono::microseconds back_to_back_gap{2000};
constexpr std::chrono::microseconds back_to_back_spin{300};
std::atomic<int> helper_spin_us{0};
std::chrono::steady_clock::time_point last_frame_start;
// The caller waits for the helper's half of a frame, which started about when its own
// did; a longer wait means the helper was stopped by another program and the caller
// gives its processor away.
constexpr std::chrono::microseconds caller_spin{100};

void helper_main()
{
    row_phase = 1;
    row_step = 2;
    uint32_t seen = 0;
    for (;;) {
        wait_for_change(generation, seen, helper_asleep,
                        std::chrono::microseconds(helper_spin_us.load(std::memory_order_relaxed)));
        seen = generation.load(std::memory_order_acquire);
        if (stopping.load(std::memory_order_acquire)) return;
        // The odd rows go to whichever thread takes them first: a helper that comes
        // late finds them drawn by the caller.
        uint32_t before = seen - 1;
        if (!claimed.compare_exchange_strong(before, seen, std::memory_order_acq_rel)) continue;
        frame_draw();
        change(finished, seen, caller_asleep);
    }
}

void stop_helper()
{
    stopping.store(true, std::memory_order_seq_cst);
    change(generation, generation.load() + 1, helper_asleep);
    helper.join();
}

// False when the system gives no thread: the caller then draws every frame alone.
bool start_helper()
{
    if (helper_running) return true;
    try {
        helper = std::thread(helper_main);
    } catch (const std::system_error&) {
        return false;
    }
    helper_running = true;
    std::atexit(stop_helper);
    return true;
}

bool drawing_on_two_threads;  // inside run_on_draw_threads with the helper

}  // namespace

void set_draw_threads(int count)
{
    automatic = count <= 0;
    thread_count = automatic ? automatic_count : count < 2 ? 1 : 2;
}

int draw_threads() { return thread_count; }

void run_on_draw_threads(void (*draw)())
{
    if (draw_threads() == 1 || drawing_on_two_threads) {
        draw();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const bool back_to_back = now - last_frame_start < back_to_back_gap;
    last_frame_start = now;
    // A paced frame waits for its time anyway: waking the helper for it would cost more
    // processor time than it saves.
    if (automatic && !back_to_back) {
        draw();
        return;
    }
    if (!start_helper()) {
        thread_count = 1;
        draw();
        return;
    }
    helper_spin_us.store(back_to_back ? static_cast<int>(back_to_back_spin.count()) : 0, std::memory_order_relaxed);
    frame_draw = draw;
    drawing_on_two_threads = true;
    const uint32_t frame = generation.load(std::memory_order_relaxed) + 1;
    change(generation, frame, helper_asleep);
    row_phase = 0;
    row_step = 2;
    draw();
    uint32_t before = frame - 1;
    if (claimed.compare_exchange_strong(before, frame, std::memory_order_acq_rel)) {
        // The helper has not started (another program has its processor): the caller
        // draws the odd rows too, with the helper's working state, which is free.
        row_phase = 1;
        draw();
    } else {
        for (uint32_t done = finished.load(std::memory_order_acquire); done != frame;
             done = finished.load(std::memory_order_acquire)) {
            wait_for_change(finished, done, caller_asleep, caller_spin);
        }
    }
    row_phase = 0;
    row_step = 1;
    drawing_on_two_threads = false;
}

bool first_draw_thread() { return row_phase == 0; }

DrawRows draw_thread_rows() { return {row_phase, row_step}; }
