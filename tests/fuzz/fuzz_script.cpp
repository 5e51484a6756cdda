// The replay script parser on arbitrary text, frame lines and directives alike; what it
// took is written back and must read back the same, then a few frames are read from it
// with reads outside frames between them, as a run makes them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "common/script/script_format.h"
#include "platform/script/script_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Script script;
    char error[160];
    if (!parse_script(reinterpret_cast<const char*>(data), size, &script, error, sizeof error)) return 0;

    std::string text = format_script_options(script.options);
    for (size_t n = 0; n < script.gaps.size(); n++) {
        const ScriptGap& gap = script.gaps[n];
        if (gap.tick_run_count > 0) text += format_script_ticks(&script.tick_runs[gap.first_tick_run], gap.tick_run_count);
        if (gap.calendar_count > 0)
            text += format_script_calendar(&script.calendar_values[gap.first_calendar], gap.calendar_count);
        if (n < script.frames.size()) text += format_script_frame(script.frames[n]);
    }
    Script again;
    if (!parse_script(text.data(), text.size(), &again, error, sizeof error)) std::abort();
    if (again.frames.size() != script.frames.size() || again.tick_runs.size() != script.tick_runs.size() ||
        again.calendar_values != script.calendar_values)
        std::abort();
    for (size_t n = 0; n < script.frames.size(); n++) {
        if (format_script_frame(again.frames[n]) != format_script_frame(script.frames[n])) std::abort();
    }

    script_reset();
    script_load(script);
    uint8_t keys[256], buttons[2];
    int32_t dx, dy;
    for (int frame = 0; frame < 40; frame++) {
        for (int read = 0; read < frame % 4; read++) {
            platform_ticks();
            platform_calendar_seconds();
        }
        platform_read_keyboard(keys);
        platform_ticks();
        platform_calendar_seconds();
        platform_read_mouse(&dx, &dy, buttons);
        platform_read_mouse(&dx, &dy, buttons);
        platform_last_tick();
        platform_flip();
    }
    return 0;
}
