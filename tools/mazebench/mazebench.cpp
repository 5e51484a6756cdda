// mazebench: times clear + render_scene for fixed camera views of a level, beside the two
// plain buffer fills alone (the memory-bound floor); or renders one view to a PNG.
//
//   mazebench [--level FILE] [benchmark options]
//   mazebench --png OUT [--level FILE] [--camera FX,FY,DIST,PITCH,YAW] [--ball X,Y]
//             [--solid]
//   mazebench --sweep [--level FILE] [--solid]   (slowest camera placements)
//   --threads N (1 or 2) sets the drawing threads of every mode; by default two where the
//   machine runs two threads at once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/balls.h"
#include "render/discs.h"
#include "render/draw_threads.h"
#include "render/edges.h"
#include "render/frame.h"
#include "render/palette.h"
#include "render/png_writer.h"
#include "render/rasterizer.h"
#include "render/scene.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"
#include "maze_version.h"

namespace {

alignas(64) uint8_t frame[SCREEN_PIXELS];

struct View {
    const char* name;
    double focus_x, focus_y, distance, pitch, yaw;
};

// The reset camera over the ball at its start, and a few placements a player reaches.
const View views[] = {
    {"reset", 5.0, 5.0, 7.0, 0.1, 0.0},
    {"tilted", 5.0, 5.0, 7.0, 0.9, 2.4},
    {"low", 5.0, 5.0, 4.0, 1.35, 0.8},
    {"close", 5.0, 5.0, 2.5, 0.4, 4.0},
    {"far", 5.0, 5.0, 20.0, 0.6, 1.2},
};

// The display device's two fills: the frame with index 0, every depth byte with 0xC8.
void clear_buffers()
{
    std::memset(frame_buffer, 0, SCREEN_PIXELS);
    std::memset(depth_buffer, 0xC8, sizeof depth_buffer);
    depth_buffer_cleared = true;
}

void set_camera(const View& v)
{
    camera_focus_x = v.focus_x;
    camera_focus_y = v.focus_y;
    camera_distance = v.distance;
    camera_pitch = v.pitch;
    camera_yaw = v.yaw;
}

void bench_fills(benchmark::State& state)
{
    for (auto _ : state) {
        clear_buffers();
        benchmark::DoNotOptimize(frame[0]);
        benchmark::DoNotOptimize(depth_buffer[0]);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void bench_frame(benchmark::State& state, View view, bool solid)
{
    set_camera(view);
    debug_flags = solid ? DEBUG_SOLID : 0;
    for (auto _ : state) {
        clear_buffers();
        render_scene();
        benchmark::DoNotOptimize(frame[0]);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Single primitives with the buffers cleared each time: a face or disc that just covers
// the screen, against ones whose corners or radius lie at the ends of the 32-bit range.
const uint8_t grey[3] = {200, 200, 200};

void bench_face(benchmark::State& state, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    debug_flags = DEBUG_SOLID;
    const int32_t corners[12] = {x0, y0, -500, x1, y0, -400, x0, y1, -600, x1, y1, -500};
    const double lights[4] = {1.0, 0.5, 0.25, 0.75};
    for (auto _ : state) {
        clear_buffers();
        fill_polygon(corners, grey, lights);
        benchmark::DoNotOptimize(frame[0]);
    }
}

void bench_disc(benchmark::State& state, int32_t radius)
{
    for (auto _ : state) {
        clear_buffers();
        draw_disc(320, 240, -500.0, radius);
        benchmark::DoNotOptimize(frame[0]);
    }
}

void bench_circle(benchmark::State& state, int32_t radius)
{
    for (auto _ : state) {
        clear_buffers();
        draw_circle(320, 240, radius, 78);
        benchmark::DoNotOptimize(frame[0]);
    }
}

bool parse_doubles(const char* text, double* out, int count)
{
    std::string s(text);
    size_t pos = 0;
    for (int i = 0; i < count; i++) {
        size_t end = s.find(',', pos);
        if ((end == std::string::npos) != (i == count - 1)) return false;
        std::string part = s.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        char* stop = nullptr;
        out[i] = std::strtod(part.c_str(), &stop);
        if (part.empty() || *stop != '\0') return false;
        pos = end + 1;
    }
    return true;
}

double time_frame_ms(int runs)
{
    // The best of a few runs, the least disturbed by other programs: thread CPU time with
    // one drawing thread, wall-clock time with two (the helper's time is not the caller's).
    clockid_t clock = draw_threads() == 1 ? CLOCK_THREAD_CPUTIME_ID : CLOCK_MONOTONIC;
    double best = 1e9;
    for (int run = 0; run < runs; run++) {
        timespec start, stop;
        clock_gettime(clock, &start);
        clear_buffers();
        render_scene();
        clock_gettime(clock, &stop);
        double ms = (stop.tv_sec - start.tv_sec) * 1e3 + (stop.tv_nsec - start.tv_nsec) * 1e-6;
        best = std::min(best, ms);
    }
    return best;
}

// Times a grid of camera placements around the ball, then times the slowest again, each
// beside the reset camera, and prints them against it.
int sweep()
{
    struct Result {
        double ms;
        View view;
    };
    std::vector<Result> results;
    const double fx = entities[0].x, fy = entities[0].y;
    for (double distance : {2.5, 3.0, 4.0, 5.5, 7.0, 10.0, 15.0}) {
        for (int p = 0; p <= 16; p++) {
            for (int y = 0; y < 16; y++) {
                View v{"sweep", fx, fy, distance, p * 0.1, y * 0.3927};
                set_camera(v);
                results.push_back({time_frame_ms(3), v});
            }
        }
    }
    std::sort(results.begin(), results.end(), [](const Result& a, const Result& b) { return a.ms > b.ms; });
    std::printf("slowest of %zu placements (ms, %s, best of 40 runs, against the reset camera timed beside it):\n",
                results.size(), draw_threads() == 1 ? "thread CPU time, 1 drawing thread" : "wall clock, 2 drawing threads");
    for (size_t i = 0; i < 8 && i < results.size(); i++) {
        const View& v = results[i].view;
        set_camera(views[0]);
        double typical = time_frame_ms(40);
        set_camera(v);
        double ms = time_frame_ms(40);
        std::printf("  %.3f (reset %.3f, %.2fx)  distance %.2f pitch %.2f yaw %.4f\n", ms, typical, ms / typical,
                    v.distance, v.pitch, v.yaw);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (maze_print_version("mazebench", argc, argv)) return 0;
    const char* level = "level1.lvx";
    const char* png = nullptr;
    bool solid = false;
    bool do_sweep = false;
    double camera[5] = {5.0, 5.0, 7.0, 0.1, 0.0};
    double ball[2];
    bool have_ball = false;
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool has_value = i + 1 < argc;
        if (arg == "--level" && has_value) level = argv[++i];
        else if (arg == "--png" && has_value) png = argv[++i];
        else if (arg == "--solid") solid = true;
        else if (arg == "--sweep") do_sweep = true;
        else if (arg == "--threads" && has_value) set_draw_threads(std::atoi(argv[++i]));
        else if (arg == "--camera" && has_value) {
            if (!parse_doubles(argv[++i], camera, 5)) {
                std::fprintf(stderr, "mazebench: --camera needs FX,FY,DIST,PITCH,YAW\n");
                return 1;
            }
        } else if (arg == "--ball" && has_value) {
            if (!parse_doubles(argv[++i], ball, 2)) {
                std::fprintf(stderr, "mazebench: --ball needs X,Y\n");
                return 1;
            }
            have_ball = true;
        } else {
            rest.push_back(argv[i]);
        }
    }

    build_trig_tables();
    build_palette();
    build_dither_tables();
    frame_buffer = frame;
    if (!load_level(level)) {
        std::fprintf(stderr, "mazebench: cannot load level file %s\n", level);
        return 1;
    }
    if (have_ball) {
        entities[0].x = ball[0];
        entities[0].y = ball[1];
    }

    if (png) {
        View v{"png", camera[0], camera[1], camera[2], camera[3], camera[4]};
        set_camera(v);
        debug_flags = solid ? DEBUG_SOLID : 0;
        clear_buffers();
        render_scene();
        if (!write_frame_png(png, frame, palette)) {
            std::fprintf(stderr, "mazebench: cannot write %s\n", png);
            return 1;
        }
        return 0;
    }
    if (do_sweep) {
        debug_flags = solid ? DEBUG_SOLID : 0;
        return sweep();
    }

    benchmark::RegisterBenchmark("fills_only", bench_fills);
    benchmark::RegisterBenchmark("face/screen", bench_face, 0, 0, 640, 481);
    benchmark::RegisterBenchmark("face/extreme", bench_face, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    // Corners as far above the screen as the edges are still advanced row by row.
    benchmark::RegisterBenchmark("face/step_limit_rows_above", bench_face, -1000,
                                 static_cast<int32_t>(1 - edge_skip_by_steps_limit), 1640, 481);
    benchmark::RegisterBenchmark("disc/screen", bench_disc, 400);
    benchmark::RegisterBenchmark("disc/extreme", bench_disc, INT32_MAX);
    benchmark::RegisterBenchmark("circle/screen", bench_circle, 230);
    benchmark::RegisterBenchmark("circle/extreme", bench_circle, INT32_MAX);
    for (const View& v : views) {
        benchmark::RegisterBenchmark((std::string("solid/") + v.name).c_str(), bench_frame, v, true);
        benchmark::RegisterBenchmark((std::string("outline/") + v.name).c_str(), bench_frame, v, false);
    }
    int bench_argc = static_cast<int>(rest.size());
    benchmark::Initialize(&bench_argc, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
