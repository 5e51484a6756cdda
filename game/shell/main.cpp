// The maze game: the command line first, before any window or message box opens, then
// everything happens in game_main on the platform this program links. --record writes a
// replay script of the run as it goes, --trace its trace in mazereplay's format.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "maze_version.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_record.h"
#include "platform/sdl/sdl_window_state.h"
#include "render/frame.h"
#include "shell/game.h"
#include "shell/level_search.h"
#include "shell/options.h"
#include "shell/settings.h"
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
    settings_locate(game_options.config_path, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (game_options.help) {
        std::fputs(options_usage, stdout);
        std::printf("\nSettings are read from %s\n(key value lines; see the README for the keys).\n",
                    settings_path[0] ? settings_path : "$XDG_CONFIG_HOME/maze/maze.cfg, but neither it nor $HOME is set");
        return 0;
    }
    if (game_options.version) {
        std::printf("maze %s\n", MAZE_VERSION);
        return 0;
    }
    // A settings file that cannot be read is said and played without.
    settings_load("maze");
    settings_note_start();
    int status = start_outputs(game_options.record_path, game_options.trace_path);
    if (status != 0) return status;
    // After the recording has taken the command line's level options: a replay searches
    // for itself.
    find_level_folder("maze");

    PlatformSettings settings = {game_options.windowed, game_options.fps, game_options.mouse_speed};
    platform_configure(&settings);
    int result = game_main();
    // What the player switched in the game is kept for the next start; a game ended by a
    // failure may never have applied the settings, so it saves nothing.
    if (result == 0) {
        game_options.solid = (debug_flags & DEBUG_SOLID) != 0;
        bool windowed = false;
        if (sdl_window_was_windowed(&windowed)) game_options.windowed = windowed;
        settings_save_changes("maze");
    }
    // A write error has been said already; the exit status stays the game's.
    trace_close(result);
    sdl_record_close();
    return result;
}
