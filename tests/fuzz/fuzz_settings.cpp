// The settings file on arbitrary bytes: read, a change saved, and read again to the same
// values; then the text before the first NUL as $XDG_DATA_DIRS for the level search.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/level_search.h"
#include "shell/options.h"
#include "shell/settings.h"

namespace {

std::string scratch_file()
{
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/fuzz_settings_XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) std::abort();
        path = std::string(dir) + "/maze.cfg";
    }
    return path;
}

// The values as text, to compare two reads.
std::string values()
{
    char text[2048];
    std::snprintf(text, sizeof text, "%d %d %d %.17g %s", game_options.solid, game_options.windowed, game_options.fps,
                  game_options.mouse_speed, game_options.screenshot_dir ? game_options.screenshot_dir : "-");
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = scratch_file();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    // The warnings of bad lines would drown the fuzzer's own output.
    std::fflush(stderr);
    int saved_stderr = dup(2);
    int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 2);
    const char* argv[] = {"maze"};
    parse_options(1, argv, nullptr, 0);
    settings_locate(path.c_str(), nullptr, nullptr);
    settings_load("maze");
    settings_note_start();
    game_options.solid = !game_options.solid;
    game_options.windowed = !game_options.windowed;
    bool saved = settings_save_changes("maze");
    std::string expected = values();
    parse_options(1, argv, nullptr, 0);
    settings_load("maze");
    std::string again = values();
    std::fflush(stderr);
    dup2(saved_stderr, 2);
    close(saved_stderr);
    close(null_fd);
    // What was saved reads back as it was in force.
    if (saved && again != expected) std::abort();

    std::string dirs(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    list_level_folders("/usr/games/bin/maze", dirs.c_str());
    return 0;
}
