// The search for the folder holding the level files.
#include "shell/level_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef MAZE_DATA_FROM_BIN
#define MAZE_DATA_FROM_BIN "../share/maze"
#endif

char level_search_folders[LEVEL_SEARCH_MAX_FOLDERS][OPTIONS_MAX_PATH];
int level_search_count;

namespace {

constexpr const char* default_data_dirs = "/usr/local/share:/usr/share";
constexpr const char* first_level_file = "level1.lvx";

char chosen_folder[OPTIONS_MAX_PATH];

void add_folder(const char* start, size_t length, const char* suffix)
{
    if (level_search_count >= LEVEL_SEARCH_MAX_FOLDERS) return;
    char* slot = level_search_folders[level_search_count];
    int written = std::snprintf(slot, OPTIONS_MAX_PATH, "%.*s%s", static_cast<int>(length), start, suffix);
    // A folder whose name does not fit is left out rather than cut short.
    if (written < 0 || static_cast<size_t>(written) >= OPTIONS_MAX_PATH) return;
    for (int i = 0; i < level_search_count; i++)
        if (std::strcmp(level_search_folders[i], slot) == 0) return;
    level_search_count++;
}

// The installed data folder: the program's folder with the relative path from the
// binaries' folder to the data folder applied, each leading ".." taking off one name.
void add_installed_folder(const char* program_path)
{
    const char* slash = std::strrchr(program_path, '/');
    if (!slash) return;
    size_t length = static_cast<size_t>(slash - program_path);
    const char* relative = MAZE_DATA_FROM_BIN;
    while (std::strncmp(relative, "../", 3) == 0 && length > 0) {
        size_t cut = length;
        while (cut > 0 && program_path[cut - 1] != '/') cut--;
        if (cut == 0) break;
        length = cut - 1;
        relative += 3;
    }
    char suffix[OPTIONS_MAX_PATH];
    std::snprintf(suffix, sizeof suffix, "/%s", relative);
    add_folder(program_path, length, suffix);
}

bool holds_level(const char* folder, const char* file)
{
    char path[OPTIONS_MAX_PATH + 16];
    int length = std::snprintf(path, sizeof path, "%s/%s", folder, file);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void list_level_folders(const char* program_path, const char* data_dirs)
{
    level_search_count = 0;
    add_folder(".", 1, "");
    char own_path[OPTIONS_MAX_PATH];
    if (!program_path) {
        ssize_t length = readlink("/proc/self/exe", own_path, sizeof own_path - 1);
        own_path[length > 0 ? length : 0] = '\0';
        program_path = own_path;
    }
    if (program_path[0] == '/') add_installed_folder(program_path);
    if (!data_dirs || !*data_dirs) data_dirs = default_data_dirs;
    for (const char* start = data_dirs; *start;) {
        const char* end = std::strchr(start, ':');
        size_t length = end ? static_cast<size_t>(end - start) : std::strlen(start);
        size_t kept = length;
        while (kept > 1 && start[kept - 1] == '/') kept--;
        // Relative entries are not data folders: they would change with the working directory.
        if (kept > 0 && start[0] == '/') add_folder(start, kept, kept == 1 ? "maze" : "/maze");
        start += length;
        if (*start == ':') start++;
    }
}

bool find_level_folder(const char* program)
{
    if (game_options.play_file) {
        struct stat info;
        if (stat(game_options.play_file, &info) == 0 && S_ISREG(info.st_mode)) return true;
        if (program)
            std::fprintf(stderr, "%s: cannot find the level file %s (given with --play)\n", program,
                         game_options.play_file);
        return false;
    }
    if (game_options.levels_dir) {
        // A named folder needs the level the run starts at (--level N), not level 1.
        char first[32];
        std::snprintf(first, sizeof first, "level%d.lvx", game_options.first_level);
        if (holds_level(game_options.levels_dir, first)) return true;
        if (program)
            std::fprintf(stderr, "%s: %s is missing from %s (given with --levels)\n", program, first,
                         game_options.levels_dir);
        return false;
    }
    list_level_folders(nullptr, std::getenv("XDG_DATA_DIRS"));
    for (int i = 0; i < level_search_count; i++) {
        if (!holds_level(level_search_folders[i], first_level_file)) continue;
        // The working directory keeps the plain names the game always asked for.
        if (i == 0) return true;
        std::memcpy(chosen_folder, level_search_folders[i], sizeof chosen_folder);
        game_options.levels_dir = chosen_folder;
        return true;
    }
    if (!program) return false;
    std::fprintf(stderr, "%s: %s was not found; looked in:\n", program, first_level_file);
    for (int i = 0; i < level_search_count; i++)
        std::fprintf(stderr, "  %s%s\n", level_search_folders[i], i == 0 ? " (the working directory)" : "");
    std::fprintf(stderr, "%s: name the folder of the level files with --levels DIR\n", program);
    return false;
}
