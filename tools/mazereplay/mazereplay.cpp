// mazereplay: runs the real game on the scripted platform and writes what happened.
//   mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]
// The script gives input and time per frame; the trace is JSON Lines, one object per
// present and per message box, then {"exit":0,"frames":n}.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "platform/sdl/sdl_viewer.h"
#include "render/png_writer.h"
#include "shell/game.h"
#include "shell/trace.h"

namespace {

const char* const usage =
    "usage: mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]\n"
    "  SCRIPT     one line per frame: TICK DX DY BUTTONS KEYS\n"
    "  --trace    write a JSON Lines trace to FILE (- for standard output)\n"
    "  --frames   save these frames (numbered from 0) as PNG files in DIR\n"
    "  --window   also show the run in a window\n";

std::set<long> frames_wanted;
std::string frames_dir;
bool frames_failed;
bool window_open;
long presents_seen;

void on_present(const uint8_t* frame, const uint8_t palette[256][3], int)
{
    trace_present(frame);
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
    presents_seen++;
}

void on_message_box(const char* text, const char* caption, int) { trace_message_box(text, caption); }

// True when the trace would overwrite the script: the same file by device and inode
// ("-" is standard output, which may have been sent to the script).
bool trace_is_script(const char* trace_path, const char* script_path)
{
    struct stat script_info, trace_info;
    if (stat(script_path, &script_info) != 0) return false;
    bool found = std::strcmp(trace_path, "-") == 0 ? fstat(STDOUT_FILENO, &trace_info) == 0
                                                   : stat(trace_path, &trace_info) == 0;
    return found && trace_info.st_dev == script_info.st_dev && trace_info.st_ino == script_info.st_ino;
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
    for (int i = 1; i < argc; i++) {
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
        if (trace_is_script(trace_path, script_path)) {
            std::fprintf(stderr, "mazereplay: the trace %s is the script itself; it would be overwritten\n", trace_path);
            return 2;
        }
        std::string what = std::string("mazereplay: the trace ") + trace_path;
        if (!trace_open(trace_path, what.c_str())) {
            std::fprintf(stderr, "mazereplay: cannot write the trace %s: %s\n", trace_path, std::strerror(errno));
            return 2;
        }
    }
    if (want_window) window_open = viewer_open("Drovemaze replay");

    script_set_present_hook(on_present);
    script_set_message_box_hook(on_message_box);
    int result = game_main();

    if (window_open) viewer_close();
    bool trace_failed = !trace_close(result);
    return trace_failed || frames_failed ? 1 : result;
}
