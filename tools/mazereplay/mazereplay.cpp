// mazereplay: runs the real game on the scripted platform and writes what happened.
//   mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]
//              [--level N | --levels DIR | --play FILE]
// The script gives input and time per frame; the trace is JSON Lines, one object per
// present and per message box, then {"exit":0,"frames":n}.
#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "benchmark.h"
#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "platform/sdl/sdl_viewer.h"
#include "render/frame.h"
#include "render/png_writer.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/options.h"
#include "sim/collisions.h"
#include "world/camera.h"
#include "world/world.h"

namespace {

const char* const usage =
    "usage: mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]\n"
    "                  [--level N] [--levels DIR] [--play FILE]\n"
    "  SCRIPT     one line per frame: TICK DX DY BUTTONS KEYS\n"
    "  --trace    write a JSON Lines trace to FILE (- for standard output)\n"
    "  --frames   save these frames (numbered from 0) as PNG files in DIR\n"
    "  --window   also show the run in a window\n"
    "  --level, --levels, --play   which level files the game asks for, as for maze\n"
    "  --benchmark  time every frame and the render alone, and print the figures\n";

std::FILE* trace_file;
bool trace_to_stdout;
bool trace_failed;
std::set<long> frames_wanted;
std::string frames_dir;
bool frames_failed;
bool window_open;
long presents_seen;
bool benchmark_on;  // --benchmark: the timedemo

void json_string(std::FILE* out, const char* text)
{
    std::fputc('"', out);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) {
        if (*p == '"' || *p == '\\') {
            std::fputc('\\', out);
            std::fputc(*p, out);
        } else if (*p < 0x20) {
            std::fprintf(out, "\\u%04x", *p);
        } else {
            std::fputc(*p, out);
        }
    }
    std::fputc('"', out);
}

// Doubles read back exactly; JSON has no infinity or NaN, so those become null.
void json_double(std::FILE* out, double value)
{
    if (std::isfinite(value))
        std::fprintf(out, "%.17g", value);
    else
        std::fputs("null", out);
}

void write_present(const uint8_t* frame)
{
    std::FILE* out = trace_file;
    std::fprintf(out, "{\"frame\":%ld,\"level\":%d,\"tick\":%u,\"level_done\":%d,\"level_failed\":%d,\"debug_flags\":%u,",
                 presents_seen, static_cast<int>(level_number), static_cast<unsigned>(script_last_tick()),
                 static_cast<int>(level_done), static_cast<int>(level_failed), static_cast<unsigned>(debug_flags));
    std::fputs("\"texts\":[", out);
    for (int i = 0; i < overlay_text_count(); i++) {
        if (i > 0) std::fputc(',', out);
        json_string(out, overlay_text(i));
    }
    std::fputs("],\"camera\":[", out);
    const double camera[5] = {camera_focus_x, camera_focus_y, camera_distance, camera_pitch, camera_yaw};
    for (int i = 0; i < 5; i++) {
        if (i > 0) std::fputc(',', out);
        json_double(out, camera[i]);
    }
    std::fputs("],\"entities\":[", out);
    int count = entity_count < 0 ? 0 : entity_count > ENTITY_SLOTS ? ENTITY_SLOTS : entity_count;
    for (int slot = 0; slot < count; slot++) {
        const Entity& e = entities[slot];
        std::fprintf(out, "%s[%d", slot > 0 ? "," : "", static_cast<int>(e.type));
        const double fields[10] = {e.x, e.y, e.z, e.vx, e.vy, e.vz, e.heading, e.drive_fwd, e.drive_side, e.drive_up};
        for (double value : fields) {
            std::fputc(',', out);
            json_double(out, value);
        }
        std::fputc(']', out);
    }
    unsigned long crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, frame, PLATFORM_FRAME_BYTES);
    std::fprintf(out, "],\"frame_crc32\":\"%08lx\"", crc & 0xFFFFFFFFul);
    if (closing_message_active) std::fputs(",\"closing\":true", out);
    std::fputs("}\n", out);
}

void on_present(const uint8_t* frame, const uint8_t palette[256][3], int)
{
    if (trace_file) write_present(frame);
    if (frames_wanted.count(presents_seen)) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06ld.png", presents_seen);
        std::string path = frames_dir + name;
        if (!write_frame_png(path.c_str(), frame, palette)) {
            std::fprintf(stderr, "mazereplay: cannot write %s\n", path.c_str());
            frames_failed = true;
        }
    }
    if (window_open) viewer_show(frame, palette, script_last_tick());
    if (benchmark_on) benchmark_present();
    presents_seen++;
}

void on_message_box(const char* text, const char* caption, int)
{
    if (!trace_file) return;
    std::fputs("{\"message_box\":{\"caption\":", trace_file);
    json_string(trace_file, caption);
    std::fputs(",\"text\":", trace_file);
    json_string(trace_file, text);
    std::fputs("}}\n", trace_file);
}

// "N,M,..." of frame numbers from 0; false on anything else.
bool parse_frame_list(const char* text)
{
    const char* p = text;
    for (;;) {
        if (*p < '0' || *p > '9') return false;
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(p, &end, 10);
        if (errno != 0) return false;
        frames_wanted.insert(value);
        p = end;
        if (*p == '\0') return true;
        if (*p != ',') return false;
        p++;
    }
}

int fail_arguments(const char* what, const char* detail)
{
    std::fprintf(stderr, "mazereplay: %s%s\n%s", what, detail, usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* script_path = nullptr;
    const char* trace_path = nullptr;
    const char* frames_list = nullptr;
    const char* frames_directory = nullptr;
    bool want_window = false;
    char reason[256];
    reset_options();
    for (int i = 1; i < argc; i++) {
        bool level_option = false;
        if (!parse_level_option(argc, argv, &i, &level_option, reason, sizeof reason))
            return fail_arguments(reason, "");
        if (level_option) continue;
        std::string arg = argv[i];
        bool has_value = i + 1 < argc;
        if (arg == "--trace" || arg == "--frames" || arg == "--frames-dir") {
            if (!has_value) return fail_arguments("missing value after ", arg.c_str());
            const char* value = argv[++i];
            if (arg == "--trace") trace_path = value;
            else if (arg == "--frames") frames_list = value;
            else frames_directory = value;
        } else if (arg == "--window") {
            want_window = true;
        } else if (arg == "--benchmark") {
            benchmark_on = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return fail_arguments("unknown option ", arg.c_str());
        } else if (script_path) {
            return fail_arguments("more than one script: ", arg.c_str());
        } else {
            script_path = argv[i];
        }
    }
    if (!script_path) return fail_arguments("no script given", "");
    if (!check_level_options(reason, sizeof reason)) return fail_arguments(reason, "");
    if (frames_list && !parse_frame_list(frames_list))
        return fail_arguments("--frames needs frame numbers like 0,10,25, not ", frames_list);
    if ((frames_list != nullptr) != (frames_directory != nullptr))
        return fail_arguments("--frames and --frames-dir go together", "");
    if (frames_directory) {
        frames_dir = frames_directory;
        struct stat info;
        if (stat(frames_directory, &info) != 0 && mkdir(frames_directory, 0777) != 0)
            return fail_arguments("cannot create the frames directory ", frames_directory);
        if (stat(frames_directory, &info) != 0 || !S_ISDIR(info.st_mode))
            return fail_arguments("not a directory: ", frames_directory);
    }

    script_reset();
    char error[256];
    if (!script_load_file(script_path, error, sizeof error)) {
        std::fprintf(stderr, "mazereplay: %s: %s\n", script_path, error);
        return 2;
    }
    if (trace_path) {
        trace_to_stdout = std::strcmp(trace_path, "-") == 0;
        trace_file = trace_to_stdout ? stdout : std::fopen(trace_path, "w");
        if (!trace_file) {
            std::fprintf(stderr, "mazereplay: cannot write the trace %s: %s\n", trace_path, std::strerror(errno));
            return 2;
        }
    }
    if (want_window) window_open = viewer_open("Drovemaze replay");

    if (benchmark_on) benchmark_start();
    script_set_present_hook(on_present);
    script_set_message_box_hook(on_message_box);
    int result = game_main();

    if (window_open) viewer_close();
    if (benchmark_on) benchmark_report(stdout);
    if (trace_file) {
        std::fprintf(trace_file, "{\"exit\":%d,\"frames\":%ld}\n", result, presents_seen);
        if (std::ferror(trace_file)) trace_failed = true;
        if (trace_to_stdout ? std::fflush(trace_file) != 0 : std::fclose(trace_file) != 0) trace_failed = true;
        if (trace_failed) std::fprintf(stderr, "mazereplay: the trace %s could not be written in full\n", trace_path);
    }
    return trace_failed || frames_failed ? 1 : result;
}
