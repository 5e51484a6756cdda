// The maze game: the command line first, before any window or message box opens, then
// everything happens in game_main on the platform this program links. --record writes a
// replay script of the run as it goes, --trace its trace in mazereplay's format.
#include <fcntl.h>
#include <unistd.h>

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
#include "shell/brightness.h"
#include "shell/game.h"
#include "shell/level_search.h"
#include "shell/options.h"
#include "shell/settings.h"
#include "shell/trace.h"
#include "world/world.h"

namespace {

void trace_box(const char* text, const char* caption, int) { trace_message_box(text, caption); }

// What the player switched in the game, written to the settings file for the next start.
// Before the start options are in force the game's state says nothing of them.
void keep_settings()
{
    if (!game_options_in_force) return;
    game_options.solid = (debug_flags & DEBUG_SOLID) != 0;
    game_options.brightness = brightness_level();
    bool windowed = false;
    if (sdl_window_was_windowed(&windowed)) game_options.windowed = windowed;
    settings_save_changes("maze");
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

// Opens the recording and the trace before the game starts, and empties them only once
// both are known to be writable and to be neither one another, nor a level file the run
// reads, nor the frame log (which must be no level file either): exit status 2 and a
// message otherwise, every file as it was.
int start_outputs(const char* record_path, const char* trace_path)
{
    const char* frame_log = std::getenv("MAZE_FRAME_LOG");
    char problem[2 * OPTIONS_MAX_PATH + 200] = "";
    char level[OPTIONS_MAX_PATH + 16];
    bool recording = record_path && sdl_record_open(record_path, level_options());
    // The recording keeps the command line's level options (a replay searches for itself);
    // the outputs are then checked against the level files found.
    find_level_folder(nullptr);
    if (record_path && !recording)
        std::snprintf(problem, sizeof problem, "cannot write the recording %s: %s", record_path, std::strerror(errno));
    bool tracing = false;
    if (!problem[0] && trace_path) {
        std::string what = std::string("maze: the trace ") + trace_path;
        tracing = trace_open(trace_path, what.c_str());
        if (!tracing)
            std::snprintf(problem, sizeof problem, "cannot write the trace %s: %s", trace_path, std::strerror(errno));
    }
    if (!problem[0] && recording && tracing && line_output_same(sdl_record_output(), trace_output()))
        std::snprintf(problem, sizeof problem, "--record and --trace name the same file %s", trace_path);
    const LineOutput* outputs[2] = {recording ? sdl_record_output() : nullptr, tracing ? trace_output() : nullptr};
    const char* names[2][2] = {{"the recording", record_path}, {"the trace", trace_path}};
    for (int i = 0; i < 2 && !problem[0]; i++) {
        if (!outputs[i]) continue;
        if (level_file_is_open_as(outputs[i]->fd, level, sizeof level))
            std::snprintf(problem, sizeof problem, "%s %s is the level file %s, which the game reads", names[i][0],
                          names[i][1], level);
        else if (frame_log && *frame_log && line_output_is_file(outputs[i], frame_log))
            std::snprintf(problem, sizeof problem, "MAZE_FRAME_LOG names %s %s", names[i][0], names[i][1]);
    }
    if (!problem[0] && frame_log && *frame_log) {
        int fd = open(frame_log, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && level_file_is_open_as(fd, level, sizeof level))
            std::snprintf(problem, sizeof problem, "MAZE_FRAME_LOG names the level file %s, which the game reads", level);
        if (fd >= 0) close(fd);
    }
    if (problem[0]) {
        if (recording) sdl_record_discard(record_path);
        if (tracing) trace_discard(trace_path);
        std::fprintf(stderr, "maze: %s\n", problem);
        return 2;
    }
    if (recording) {
        sdl_record_start();
        forbid_level_file(sdl_record_output()->fd);
    }
    if (tracing) {
        trace_start();
        forbid_level_file(trace_output()->fd);
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

    PlatformSettings settings = {game_options.windowed,          game_options.fps,
                                 game_options.mouse_speed,       game_options.gamepad_dead_zone,
                                 game_options.gamepad_stick_speed, game_options.gamepad_invert_tilt};
    set_brightness_level(game_options.brightness);
    platform_configure(&settings);
    platform_keep_settings_with(keep_settings);
    int result = game_main();
    // A game ended by a failure saves nothing.
    if (result == 0) keep_settings();
    // A write error has been said already; a run whose outputs are not whole ends with
    // 1, so that a script can tell.
    bool trace_whole = trace_close(result);
    bool recording_whole = sdl_record_close();
    return trace_whole && recording_whole ? result : (result != 0 ? result : 1);
}
