#include "shell/screenshot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/brightness.h"
#include "render/png_writer.h"

namespace {

bool screenshot_key_latched;
bool screenshot_pending;
char last_name[16];

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
    if (!frame_buffer) return false;
    for (int number = 0; number <= 9999; number++) {
        char name[sizeof last_name];
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
        return true;
    }
    std::fprintf(stderr, "Print Screen: no free name, maze_0000.png to maze_9999.png all exist\n");
    return false;
}

const char* screenshot_last_name() { return last_name; }
