// mazereplay built for Node has no window to show a replay in: --window says so and the
// replay runs on without one, as natively without a display.
#include <cstdio>

#include "platform/sdl/sdl_viewer.h"

bool viewer_open(const char*)
{
    std::fprintf(stderr, "mazereplay: no window in the WebAssembly build; replaying without one\n");
    return false;
}

void viewer_show(const uint8_t*, const uint8_t[256][3], uint32_t) {}

void viewer_close() {}
