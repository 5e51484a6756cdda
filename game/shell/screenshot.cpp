#include "shell/screenshot.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/brightness.h"
#include "render/png_writer.h"
#include "shell/options.h"

namespace {

bool screenshot_key_latched;
bool screenshot_pending;
char last_name[OPTIONS_MAX_PATH + 16];
// Replays save only where their command line says (set_screenshot_folder).
bool screenshots_on = true;
const char* screenshot_folder;

// Makes the folder and any missing folders above it; false (errno set) when one cannot be.
bool make_folder(const char* folder)
{
    char path[OPTIONS_MAX_PATH];
    int length = std::snprintf(path, sizeof path, "%s", folder);
    if (length <= 0 || length >= static_cast<int>(sizeof path)) {
        errno = ENAMETOOLONG;
        return false;
    }
    for (char* p = path + 1; *p; p++) {
        if (*p != '/') continue;
        *p = '\0';
        if (mkdir(path, 0777) != 0 && errno != EEXIST) return false;
        *p = '/';
    }
    if (mkdir(path, 0777) != 0 && errno != EEXIST) return false;
    struct stat info;
    if (stat(path, &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool file_exists(const char* name)
{
    std::FILE* file = std::fopen(name, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

}  // namespace

void poll_screenshot_key(const uint8_t state[256])
{
    // Like the function keys, act on the release, so a held key saves one picture.
    if (state[SCAN_PRINT_SCREEN] & KEY_HELD) {
        screenshot_key_latched = true;
    } else if (screenshot_key_latched) {
        screenshot_key_latched = false;
        screenshot_pending = true;
    }
}

bool save_pending_screenshot()
{
    if (!screenshot_pending) return false;
    screenshot_pending = false;
    if (!frame_buffer || !screenshots_on) return false;
    const char* folder = screenshot_folder ? screenshot_folder : game_options.screenshot_dir;
    if (folder && !make_folder(folder)) {
        std::fprintf(stderr, "Print Screen: could not make the folder %s (%s)\n", folder, std::strerror(errno));
        return false;
    }
    for (int number = 0; number <= 9999; number++) {
        char name[sizeof last_name];
        if (folder)
            std::snprintf(name, sizeof name, "%.1024s/maze_%04d.png", folder, number);
        else
            std::snprintf(name, sizeof name, "maze_%04d.png", number);
        if (file_exists(name)) continue;
        errno = 0;
        if (!write_frame_png(name, frame_buffer, shown_palette())) {
            // The player pressed the key and expects a file: say why there is none.
            int reason = errno;
            std::fprintf(stderr, "Print Screen: could not write %s%s%s%s\n", name, reason ? " (" : "",
                         reason ? std::strerror(reason) : "", reason ? ")" : "");
            return false;
        }
        std::snprintf(last_name, sizeof last_name, "%s", name);
        std::fprintf(stderr, "Print Screen: saved %s\n", name);
        return true;
    }
    std::fprintf(stderr, "Print Screen: no free name, maze_0000.png to maze_9999.png all exist in %s\n",
                 folder ? folder : "the working directory");
    return false;
}

const char* screenshot_last_name() { return last_name; }

void set_screenshot_folder(bool on, const char* folder)
{
    screenshots_on = on;
    screenshot_folder = folder;
}
