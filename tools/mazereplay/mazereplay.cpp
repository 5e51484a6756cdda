// mazereplay: runs the real game on the scripted platform and writes what happened.
//   mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]
//              [--level N | --levels DIR | --play FILE]
// The script gives input and time per frame; the trace is JSON Lines, one object per
// present and per message box, then {"exit":0,"frames":n}.
#include <sys/stat.h>

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
#include "shell/screenshot.h"
#include "shell/trace.h"
#include "maze_version.h"
#include "world/world.h"

namespace {

const char* const usage =
    "usage: mazereplay SCRIPT [--trace FILE] [--frames N,M,... --frames-dir DIR] [--window]\n"
    "                  [--level N] [--levels DIR] [--play FILE]\n"
    "  SCRIPT     one line per frame: TICK DX DY BUTTONS KEYS; maze --record writes them\n"
    "  --trace    write a JSON Lines trace to FILE (- for standard output)\n"
    "  --frames   save these frames (numbered from 0) as PNG files in DIR (and Print\n"
    "             Screen's pictures, which a replay saves nowhere else)\n"
    "  --window   also show the run in a window\n"
    "  --level, --levels, --play   which level files the game asks for, as for maze\n"
    "             (replacing those of the script's options line of the same kind)\n"
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
        errno = 0;
        // Said once, with the reason; after a failure (a full disk) no more are tried.
        if (!frames_failed && !write_frame_png(path.c_str(), frame, palette)) {
            int reason = errno;
            std::fprintf(stderr, "mazereplay: cannot write %s (%s); no more frames are written\n", path.c_str(),
                         reason ? std::strerror(reason) : "write failed");
            frames_failed = true;
        }
    }
    if (window_open) viewer_show(frame, palette, script_last_tick());
    if (benchmark_on) benchmark_present();
    presents_seen++;
}

void on_message_box(const char* text, const char* caption, int icon)
{
    trace_message_box(text, caption);
    // The game's fatal errors are said where a terminal or a log keeps them, with the
    // level file and the reason when loading one failed.
    if (icon != PLATFORM_ICON_ERROR) return;
    const char* level = level_load_failure();
    std::fprintf(stderr, "mazereplay: %s: %s%s%s%s\n", caption, text, level[0] ? " (" : "", level, level[0] ? ")" : "");
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

// The words of the script's options directive, which game_options points into for the
// whole run.
std::vector<std::string> script_option_words;
std::vector<const char*> script_words;

bool is_word(const char* word, const char* name) { return std::strcmp(word, name) == 0; }

// Takes the options the recording was made with: --solid, and the level options the
// command line does not replace: its --level replaces the script's --level, its
// --levels the script's --levels, and --play (which goes with neither) all three. What
// is passed over is said on stderr. False with a reason on a word maze would not take.
bool apply_script_options(const char* script_path, char* reason, size_t reason_size)
{
    script_words = {"mazereplay"};
    for (const std::string& word : script_option_words) script_words.push_back(word.c_str());
    int count = static_cast<int>(script_words.size());
    bool command_level = level_option_given("--level");
    bool command_levels = level_option_given("--levels");
    bool command_play = game_options.play_file != nullptr;
    for (int i = 1; i < count; i++) {
        const char* word = script_words[static_cast<size_t>(i)];
        bool replaced = (is_word(word, "--level") && (command_level || command_play)) ||
                        (is_word(word, "--levels") && (command_levels || command_play)) ||
                        (is_word(word, "--play") && (command_level || command_levels || command_play));
        if (replaced) {
            const char* value = i + 1 < count ? script_words[static_cast<size_t>(i) + 1] : "";
            std::fprintf(stderr, "mazereplay: %s: the command line's level options replace the script's %s %s\n",
                         script_path, word, value);
            i++;
            continue;
        }
        bool level_option = false;
        if (!parse_level_option(count, script_words.data(), &i, &level_option, reason, reason_size)) return false;
        if (level_option) continue;
        if (is_word(word, "--solid")) {
            game_options.solid = true;
            continue;
        }
        std::snprintf(reason, reason_size, "unknown option %s", word);
        return false;
    }
    return check_level_options(reason, reason_size);
}

// Opens the trace without emptying it and checks that it is neither the script nor a
// level file the run reads (the same file by device and inode, whatever the path; "-"
// is standard output, which may have been sent to either). False after saying why.
bool open_trace(const char* trace_path, const char* script_path)
{
    std::string what = std::string("mazereplay: the trace ") + trace_path;
    if (!trace_open(trace_path, what.c_str())) {
        std::fprintf(stderr, "mazereplay: cannot write the trace %s: %s\n", trace_path, std::strerror(errno));
        return false;
    }
    char level[OPTIONS_MAX_PATH + 16];
    char problem[OPTIONS_MAX_PATH + 64] = "";
    if (line_output_is_file(trace_output(), script_path))
        std::snprintf(problem, sizeof problem, "is the script itself");
    else if (level_file_is_open_as(trace_output()->fd, level, sizeof level))
        std::snprintf(problem, sizeof problem, "is a level file the run reads: %s", level);
    if (!problem[0]) return true;
    std::fprintf(stderr, "mazereplay: the trace %s %s; it would be overwritten\n", trace_path, problem);
    trace_discard(trace_path);
    return false;
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
            const char** slot = arg == "--trace" ? &trace_path : arg == "--frames" ? &frames_list : &frames_directory;
            // As maze does: an option given twice is refused, not half-used.
            if (*slot) return fail_arguments("given twice: ", arg.c_str());
            *slot = argv[++i];
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

    script_reset();
    char error[256];
    Script script;
    if (!read_script_file(script_path, &script, error, sizeof error)) {
        std::fprintf(stderr, "mazereplay: %s: %s\n", script_path, error);
        return 2;
    }
    script_option_words = script.options;
    if (!apply_script_options(script_path, reason, sizeof reason)) {
        std::fprintf(stderr, "mazereplay: %s: script line %d: options: %s\n", script_path, script.options_line, reason);
        return 2;
    }
    if (script.unended_line != 0)
        std::fprintf(stderr,
                     "mazereplay: %s: script line %d has no newline at its end; the file may be cut short there\n",
                     script_path, script.unended_line);
    // The trace is checked against the level files the run will read.
    find_level_folder(nullptr);
    if (trace_path && !open_trace(trace_path, script_path)) return 2;
    LineOutput standard_output;
    if (benchmark_on && trace_path && line_output_open(&standard_output, "-", "") &&
        line_output_same(trace_output(), &standard_output)) {
        trace_discard(trace_path);
        return fail_arguments("--benchmark prints its figures to standard output, where the trace goes", "");
    }
    if (frames_directory) {
        frames_dir = frames_directory;
        struct stat info;
        bool made = stat(frames_directory, &info) == 0 || mkdir(frames_directory, 0777) == 0;
        const char* problem = !made ? "cannot create the frames directory "
                              : stat(frames_directory, &info) != 0 || !S_ISDIR(info.st_mode) ? "not a directory: "
                                                                                              : nullptr;
        if (problem) {
            if (trace_path) trace_discard(trace_path);
            return fail_arguments(problem, frames_directory);
        }
    }
    // Level files are looked for as the game looks for them, once the outputs are settled.
    find_level_folder("mazereplay");
    if (trace_path) {
        trace_start();
        forbid_level_file(trace_output()->fd);
    }
    // Print Screen in a replay saves nothing, or into the frames directory when given.
    set_screenshot_folder(frames_directory != nullptr, frames_directory);
    script_take(&script);
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
