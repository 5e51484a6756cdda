// mazepilot: plays the real game on the scripted platform, steering the ball with the
// mouse toward the waypoints of a route, and records every frame's input as a replay
// script. The steering is closed-loop while the script is made; replaying the script with
// mazereplay gives exactly the same run.
//
//   mazepilot [--solid] [--escape-at-end] [--max-frames N] --out SCRIPT ROUTE [ROUTE ...]
//
// Each ROUTE file steers one attempt at a level, in the order the game plays them (a
// failed level is played again: give it the next route). Level files come from the
// current directory. The route format is described in docs/replay.md.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controller.h"
#include "platform/script/script_platform.h"
#include "route.h"
#include "shell/game.h"
#include "maze_version.h"

namespace {

void show_message_box(const char* text, const char* caption, int)
{
    std::printf("message box: %s: %s\n", caption, text);
}

}  // namespace

int main(int argc, char** argv)
{
    if (maze_print_version("mazepilot", argc, argv)) return 0;
    const char* out_path = nullptr;
    std::vector<const char*> route_paths;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out_path = argv[++i];
        } else if (std::strcmp(argv[i], "--escape-at-end") == 0) {
            pilot_escape_at_end = true;
        } else if (std::strcmp(argv[i], "--solid") == 0) {
            pilot_solid_at_start = true;
        } else if (std::strcmp(argv[i], "--max-frames") == 0 && i + 1 < argc) {
            pilot_max_frames = std::atoi(argv[++i]);
        } else if (argv[i][0] == '-') {
            route_paths.clear();
            break;
        } else {
            route_paths.push_back(argv[i]);
        }
    }
    if (!out_path || route_paths.empty()) {
        std::fprintf(stderr, "usage: mazepilot [--solid] [--escape-at-end] [--max-frames N] --out SCRIPT ROUTE [ROUTE ...]\n");
        return 2;
    }
    for (const char* path : route_paths) {
        Route route;
        if (!read_route(path, &route)) return 2;
        pilot_routes.push_back(route);
    }

    script_reset();
    script_set_line_source(pilot_next_line);
    script_set_present_hook(pilot_after_present);
    script_set_message_box_hook(show_message_box);
    game_main();

    if (!pilot_played_every_route()) {
        std::fprintf(stderr, "mazepilot: the game ended before every route was played\n");
        pilot_error_count++;
    }
    std::FILE* out = std::fopen(out_path, "w");
    if (!out) {
        std::fprintf(stderr, "mazepilot: cannot create %s\n", out_path);
        return 1;
    }
    std::fprintf(out, "# Made by mazepilot from:");
    for (const char* path : route_paths) std::fprintf(out, " %s", path);
    std::fprintf(out, "\n# TICK DX DY BUTTONS KEYS, one line per frame\n");
    for (const std::string& note : pilot_notes) std::fprintf(out, "%s\n", note.c_str());
    for (const std::string& line : pilot_recorded) std::fprintf(out, "%s\n", line.c_str());
    bool written = std::fclose(out) == 0;
    std::printf("%zu frames written to %s\n", pilot_recorded.size(), out_path);
    if (!written) {
        std::fprintf(stderr, "mazepilot: could not write %s\n", out_path);
        return 1;
    }
    return pilot_error_count == 0 ? 0 : 1;
}
