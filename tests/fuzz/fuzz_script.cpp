// The replay script parser on arbitrary text, then a few frames read from what it took.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/script/script_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    script_reset();
    char error[128];
    std::string text(reinterpret_cast<const char*>(data), size);
    if (!script_load_text(text.c_str(), error, sizeof error)) return 0;
    uint8_t keys[256], buttons[2];
    int32_t dx, dy;
    for (int frame = 0; frame < 40; frame++) {
        platform_ticks();
        platform_read_keyboard(keys);
        platform_read_mouse(&dx, &dy, buttons);
        platform_calendar_seconds();
        platform_flip();
    }
    return 0;
}
