// The replay script parser on arbitrary text, then a few frames read from what it took.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/script/script_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    script_reset();
    char error[128];
    if (!script_load_text(text.c_str(), error, sizeof error)) return 0;
    uint8_t keys[256];
    for (int frame = 0; frame < 40; frame++) {
        platform_ticks();
        platform_read_keyboard(keys);
        int32_t dx = 0, dy = 0;
        uint8_t buttons[2];
        platform_read_mouse(&dx, &dy, buttons);
        platform_ticks();
        platform_calendar_seconds();
        platform_flip();
    }
    return 0;
}
