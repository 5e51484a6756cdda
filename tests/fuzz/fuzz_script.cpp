// The replay script parser on arbitrary text, frame lines and directives alike; what it
// took is written back and must read back the same; a byte-order mark before it or a
// newline after it changes nothing but the cut-line note; then a few frames are read
// from it with reads outside frames between them, as a run makes them.
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
    const char* text_in = reinterpret_cast<const char*>(data);
    bool parsed = parse_script(text_in, size, &script, error, sizeof error);
    // One mark is passed over, not two: a text with its own mark gets none added.
    bool has_mark = size >= 3 && std::string(text_in, 3) == "\xEF\xBB\xBF";
    std::string marked = (has_mark ? "" : "\xEF\xBB\xBF") + std::string(text_in, size);
    std::string ended = std::string(text_in, size) + "\n";
    Script with_mark, with_newline;
    if (parse_script(marked.data(), marked.size(), &with_mark, nullptr, 0) != parsed ||
        parse_script(ended.data(), ended.size(), &with_newline, nullptr, 0) != parsed)
        std::abort();
    if (!parsed) return 0;
    if (with_mark.frames.size() != script.frames.size() || with_mark.unended_line != script.unended_line ||
        with_newline.frames.size() != script.frames.size() || with_newline.unended_line != 0 ||
        with_newline.options_line != script.options_line)
        std::abort();
    if (script.unended_line != 0 && size > 0 && data[size - 1] == '\n') std::abort();
    if (!script.options.empty() && script.options_line <= 0) std::abort();

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
    script_take(&script);
    if (!script.frames.empty()) std::abort();
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
