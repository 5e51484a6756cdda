#include "benchmark.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "render/draw_threads.h"
#include "render/frame.h"
#include "render/pixel_loops.h"
#include "render/scene.h"
#include "shell/display.h"
#include "shell/game.h"
#include "sim/collisions.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<double> whole_ms;   // previous present to this one, the timing work taken out
std::vector<double> render_ms;  // render_scene alone
std::vector<double> fills_ms;   // clear_frame alone
std::vector<double> frame_ms;   // clear_frame and render_scene, as the game runs them
Clock::time_point previous_end;
bool previous_counts;  // the previous present closed a played frame and no level ended there
bool wide_vectors;     // 256-bit span loops in use

// The re-rendered frames go here: the presented one stays as the game left it.
alignas(64) uint8_t scratch[SCREEN_PIXELS];

double ms_between(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Summary {
    double mean, median, p99, slowest;
};

Summary summarise(std::vector<double> values)
{
    Summary s{0, 0, 0, 0};
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (double v : values) sum += v;
    size_t n = values.size();
    s.mean = sum / static_cast<double>(n);
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    // Nearest rank: the smallest value with at least 99% of the frames at or below it.
    size_t rank = (99 * n + 99) / 100;
    s.p99 = values[std::min(n, std::max<size_t>(rank, 1)) - 1];
    s.slowest = values[n - 1];
    return s;
}

void print_line(std::FILE* out, const char* name, const std::vector<double>& values)
{
    Summary s = summarise(values);
    std::fprintf(out, "%-24s %8zu %9.4f %9.4f %9.4f %9.4f\n", name, values.size(), s.mean, s.median, s.p99,
                 s.slowest);
}

}  // namespace

void benchmark_start()
{
    // MAZE_DRAW_THREADS=1 (or 2) times the renderer drawing on that many threads, for
    // comparison with the default.
    if (const char* threads = std::getenv("MAZE_DRAW_THREADS")) set_draw_threads(std::atoi(threads));
    // MAZE_WIDE_VECTORS=0 times the 128-bit span loops on a processor with 256-bit ones.
    const char* wide = std::getenv("MAZE_WIDE_VECTORS");
    wide_vectors = set_wide_vectors(wide == nullptr || std::atoi(wide) != 0);
    whole_ms.clear();
    render_ms.clear();
    fills_ms.clear();
    frame_ms.clear();
    previous_counts = false;
}

void benchmark_present()
{
    Clock::time_point start = Clock::now();
    // A closing message is presented without a frame drawn; the frame after a level ends
    // includes loading the next level. Neither is a played frame.
    bool played = !closing_message_active;
    if (played && previous_counts) whole_ms.push_back(ms_between(previous_end, start));
    if (played) {
        // The world is not changed between the present and the next frame, so drawing it
        // again draws what the game just drew.
        uint8_t* presented = frame_buffer;
        frame_buffer = scratch;
        Clock::time_point t0 = Clock::now();
        clear_frame(0);
        Clock::time_point t1 = Clock::now();
        render_scene();
        Clock::time_point t2 = Clock::now();
        frame_buffer = presented;
        fills_ms.push_back(ms_between(t0, t1));
        render_ms.push_back(ms_between(t1, t2));
        frame_ms.push_back(ms_between(t0, t2));
    }
    previous_counts = played && level_done == 0;
    previous_end = Clock::now();
}

void benchmark_report(std::FILE* out)
{
    std::fprintf(out, "timedemo: milliseconds per frame (wall clock), %d drawing thread%s, %d-bit span loops\n",
                 draw_threads(), draw_threads() == 1 ? "" : "s", wide_vectors ? 256 : 128);
    std::fprintf(out, "%-24s %8s %9s %9s %9s %9s\n", "", "frames", "mean", "median", "p99", "slowest");
    print_line(out, "whole frame", whole_ms);
    print_line(out, "render_scene", render_ms);
    print_line(out, "clear + render_scene", frame_ms);
    print_line(out, "two fills (clear_frame)", fills_ms);
    Summary render = summarise(render_ms);
    Summary fills = summarise(fills_ms);
    if (fills.mean > 0)
        std::fprintf(out, "mean render / mean fills: %.2f\n", render.mean / fills.mean);
}
