// The maze game: the command line first, before any window or message box opens, then
// everything happens in game_main on the platform this program links.
#include <cstdio>

#include "platform/platform.h"
#include "shell/game.h"
#include "shell/options.h"

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
    // The files of --record and --trace are opened at this point, before the game
    // starts: a path that cannot be written is refused here with exit 2.

    PlatformSettings settings = {game_options.windowed, game_options.fps, game_options.mouse_speed};
    platform_configure(&settings);
    return game_main();
}
