// mazereplay: runs the real game on the scripted platform and writes what happened.
//   mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]
//              [--level N | --levels DIR | --play FILE]
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
#include <vector>

#include "benchmark.h"
#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "platform/sdl/sdl_viewer.h"
#include "render/png_writer.h"
#include "shell/game.h"
#include "shell/level_search.h"
#include "shell/options.h"
#include "shell/trace.h"
#include "maze_version.h"

namespace {

const char* const usage =
    "usage: mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]\n"
    "                  [--level N] [--levels DIR] [--play FILE]\n"
    "  SCRIPT     one line per frame: TICK DX DY BUTTONS KEYS; maze --record writes them\n"
    "  --trace    write a JSON Lines trace to FILE (- for standard output)\n"
    "  --frames   save these frames (numbered from 0) as PNG files in DIR\n"
    "  --window   also show the run in a window\n"
    "  --level, --levels, --play   which level files the game asks for, as for maze\n"
    "             (instead of those of the script's options line)\n"
    "  --benchmark  time every frame and the render alone, and print the figures\n";

std::set<long> frames_wanted;
std::string frames_dir;
bool frames_failed;
bool window_open;
long presents_seen;
bool benchmark_on;  // --benchmark: the timedemo

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
    if (benchmark_on) benchmark_present();
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

// The script and the words of its options directive, which game_options points into
// for the whole run.
Script script;
std::vector<const char*> script_words;

// Takes the options the recording was made with: --solid, and the level options unless
// the command line gave its own. False with a reason on a word maze would not take.
bool apply_script_options(bool command_line_levels, char* reason, size_t reason_size)
{
    script_words = {"mazereplay"};
    for (const std::string& word : script.options) script_words.push_back(word.c_str());
    int count = static_cast<int>(script_words.size());
    for (int i = 1; i < count; i++) {
        const char* word = script_words[static_cast<size_t>(i)];
        bool level_word = std::strcmp(word, "--level") == 0 || std::strcmp(word, "--levels") == 0 ||
                          std::strcmp(word, "--play") == 0;
        if (level_word && command_line_levels) {
            i++;  // the command line's level options stand: this one and its value are passed over
            continue;
        }
        bool level_option = false;
        if (!parse_level_option(count, script_words.data(), &i, &level_option, reason, reason_size)) return false;
        if (level_option) continue;
        if (std::strcmp(word, "--solid") == 0) {
            game_options.solid = true;
            continue;
        }
        std::snprintf(reason, reason_size, "the script's options: unknown option %s", word);
        return false;
    }
    return check_level_options(reason, reason_size);
}

int fail_arguments(const char* what, const char* detail)
{
    std::fprintf(stderr, "mazereplay: %s%s\n%s", what, detail, usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (maze_print_version("mazereplay", argc, argv)) return 0;
    const char* script_path = nullptr;
    const char* trace_path = nullptr;
    const char* frames_list = nullptr;
    const char* frames_directory = nullptr;
    bool want_window = false;
    char reason[256];
    bool command_line_levels = false;
    reset_options();
    for (int i = 1; i < argc; i++) {
        bool level_option = false;
        if (!parse_level_option(argc, argv, &i, &level_option, reason, sizeof reason))
            return fail_arguments(reason, "");
        command_line_levels = command_line_levels || level_option;
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
    if (!read_script_file(script_path, &script, error, sizeof error)) {
        std::fprintf(stderr, "mazereplay: %s: %s\n", script_path, error);
        return 2;
    }
    if (!apply_script_options(command_line_levels, reason, sizeof reason)) {
        std::fprintf(stderr, "mazereplay: %s: %s\n", script_path, reason);
        return 2;
    }
    script_load(script);
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
    // Level files are looked for as the game looks for them, once the outputs are settled.
    find_level_folder("mazereplay");
    if (want_window) window_open = viewer_open("Drovemaze replay");

    if (benchmark_on) benchmark_start();
    script_set_present_hook(on_present);
    script_set_message_box_hook(on_message_box);
    int result = game_main();

    if (window_open) viewer_close();
    if (benchmark_on) benchmark_report(stdout);
    bool trace_failed = !trace_close(result);
    return trace_failed || frames_failed ? 1 : result;
}
