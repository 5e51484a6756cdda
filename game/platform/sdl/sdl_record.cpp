#include "platform/sdl/sdl_record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "common/script/line_output.h"
#include "common/script/script_format.h"

namespace {

// A ticks directive line holds at most this many values or runs.
constexpr size_t runs_per_line = 16;

LineOutput output;
bool recording;

// The frame being read: written out at its present (or at the next keyboard read, if
// the game begins another frame without presenting).
bool frame_open;
ScriptFrame frame;
bool mouse_seen;

// Reads outside frames since the last frame, written before the next frame's line.
std::vector<ScriptTickRun> gap_ticks;
std::vector<int64_t> gap_calendar;

bool mismatch_reported;

SdlPresentHook present_hook;
SdlMessageBoxHook message_box_hook;

void write_text(const std::string& text)
{
    line_output_append(&output, text.data(), text.size());
    line_output_tick(&output);
}

void write_gap()
{
    if (!gap_ticks.empty()) write_text(format_script_ticks(gap_ticks.data(), gap_ticks.size()));
    if (!gap_calendar.empty()) write_text(format_script_calendar(gap_calendar.data(), gap_calendar.size()));
    gap_ticks.clear();
    gap_calendar.clear();
}

void close_frame()
{
    if (!frame_open) return;
    frame_open = false;
    write_text(format_script_frame(frame));
}

// The game read something the script format replays differently; said once, since the
// recording then may part from the run there.
void report_mismatch(const char* what)
{
    if (mismatch_reported) return;
    mismatch_reported = true;
    std::fprintf(stderr, "maze: %s cannot be held by the recording; its replay may differ from here on\n", what);
}

}  // namespace

bool sdl_record_open(const char* path, const std::vector<std::string>& options)
{
    std::string what = std::string("maze: the recording ") + path;
    if (!line_output_open(&output, path, what.c_str())) return false;
    recording = true;
    frame_open = false;
    gap_ticks.clear();
    gap_calendar.clear();
    mismatch_reported = false;
    write_text("# maze --record: TICK DX DY BUTTONS KEYS [cal=SECONDS] [fail=K|M|KM] per frame; "
               "replay with mazereplay FILE\n");
    if (!options.empty()) write_text(format_script_options(options));
    return true;
}

void sdl_record_start() { line_output_start(&output); }

void sdl_record_discard(const char* path)
{
    line_output_discard(&output, path);
    recording = false;
}

const LineOutput* sdl_record_output() { return &output; }

bool sdl_record_close()
{
    if (!recording) return true;
    close_frame();
    write_gap();
    recording = false;
    return line_output_close(&output) && !output.failed;
}

void sdl_set_present_hook(SdlPresentHook hook) { present_hook = hook; }
void sdl_set_message_box_hook(SdlMessageBoxHook hook) { message_box_hook = hook; }

void record_keyboard_read(bool ok, const uint8_t state[256], uint32_t tick)
{
    if (!recording) return;
    close_frame();
    write_gap();
    std::memset(&frame, 0, sizeof frame);
    frame.tick = tick;
    frame.keyboard_fails = !ok;
    for (unsigned code = 0; ok && code < 256; code++) {
        if (state[code] & KEY_HELD) hold_script_key(&frame, code);
    }
    frame_open = true;
    mouse_seen = false;
}

bool record_mouse_read(bool ok, int32_t dx, int32_t dy, const uint8_t buttons[2])
{
    if (!recording) return ok;
    bool left = ok && (buttons[0] & KEY_HELD);
    bool right = ok && (buttons[1] & KEY_HELD);
    if (frame_open && !mouse_seen) {
        mouse_seen = true;
        frame.mouse_fails = !ok;
        if (ok) {
            frame.dx = dx;
            frame.dy = dy;
            frame.left = left;
            frame.right = right;
        }
        return ok;
    }
    // A replay gives a later read in the frame the same result without motion, and a
    // read outside frames no motion and no buttons.
    bool same = frame_open ? (ok == !frame.mouse_fails && (!ok || (dx == 0 && dy == 0 && left == frame.left &&
                                                                   right == frame.right)))
                           : (ok && dx == 0 && dy == 0 && !left && !right);
    if (!same) report_mismatch("a second mouse read in a frame, or one outside frames,");
    return ok;
}

void record_tick_outside_frame(uint32_t tick)
{
    if (!recording) return;
    if (!gap_ticks.empty() && static_cast<uint64_t>(gap_ticks.back().first) + gap_ticks.back().count == tick) {
        gap_ticks.back().count++;
    } else {
        if (gap_ticks.size() == runs_per_line) {
            write_text(format_script_ticks(gap_ticks.data(), gap_ticks.size()));
            gap_ticks.clear();
        }
        gap_ticks.push_back({tick, 1});
    }
}

void record_calendar_read(int64_t seconds, bool in_frame)
{
    if (!recording) return;
    if (in_frame && frame_open) {
        frame.calendar_given = true;
        frame.calendar = seconds;
    } else {
        gap_calendar.push_back(seconds);
    }
}

void record_present(const uint8_t* frame_bytes)
{
    if (present_hook) present_hook(frame_bytes);
    if (!recording) return;
    close_frame();
    line_output_tick(&output);
}

void record_message_box(const char* text, const char* caption, int icon)
{
    if (message_box_hook) message_box_hook(text, caption, icon);
    // The box may stay up for long: what is recorded so far goes to the file first.
    if (recording) line_output_flush(&output);
}
