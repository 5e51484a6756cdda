// The maze game: the command line first, before any window or message box opens, then
// everything happens in game_main on the platform this program links. --record writes a
// replay script of the run as it goes, --trace its trace in mazereplay's format.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_record.h"
#include "shell/brightness.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/trace.h"

namespace {

void trace_box(const char* text, const char* caption, int) { trace_message_box(text, caption); }

bool same_file(const char* a, const char* b)
{
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// The options that decide which level files the game reads and how it starts: the
// recording keeps them, so that its replay does the same.
std::vector<std::string> level_options()
{
    std::vector<std::string> words;
    if (game_options.first_level != OPTIONS_FIRST_LEVEL) {
        words.push_back("--level");
        words.push_back(std::to_string(game_options.first_level));
    }
    if (game_options.levels_dir) {
        words.push_back("--levels");
        words.push_back(game_options.levels_dir);
    }
    if (game_options.play_file) {
        words.push_back("--play");
        words.push_back(game_options.play_file);
    }
    if (game_options.solid) words.push_back("--solid");
    return words;
}

// Opens the recording and the trace before the game starts; exit status 2 and a
// message when either cannot be written.
int start_outputs(const char* record_path, const char* trace_path)
{
    // Checked before either file is truncated, and again once the recording exists.
    bool one_file = record_path && trace_path && same_file(record_path, trace_path);
    if (!one_file && record_path && !sdl_record_open(record_path, level_options())) {
        std::fprintf(stderr, "maze: cannot write the recording %s: %s\n", record_path, std::strerror(errno));
        return 2;
    }
    if (trace_path) {
        if (one_file || (record_path && same_file(record_path, trace_path))) {
            std::fprintf(stderr, "maze: --record and --trace name the same file %s\n", trace_path);
            return 2;
        }
        std::string what = std::string("maze: the trace ") + trace_path;
        if (!trace_open(trace_path, what.c_str())) {
            std::fprintf(stderr, "maze: cannot write the trace %s: %s\n", trace_path, std::strerror(errno));
            return 2;
        }
        sdl_set_present_hook(trace_present);
        sdl_set_message_box_hook(trace_box);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    char reason[256];
    if (!parse_options(argc, argv, reason, sizeof reason)) {
        std::fprintf(stderr, "maze: %s\n%s", reason, options_usage);
        return 2;
    }
    if (game_options.help) {
        std::fputs(options_usage, stdout);
        return 0;
    }
    int status = start_outputs(game_options.record_path, game_options.trace_path);
    if (status != 0) return status;

    PlatformSettings settings = {game_options.windowed,          game_options.fps,
                                 game_options.mouse_speed,       game_options.gamepad_dead_zone,
                                 game_options.gamepad_stick_speed, game_options.gamepad_invert_tilt};
    set_brightness_level(game_options.brightness);
    platform_configure(&settings);
    int result = game_main();
    // A write error has been said already; the exit status stays the game's.
    trace_close(result);
    sdl_record_close();
    return result;
}
