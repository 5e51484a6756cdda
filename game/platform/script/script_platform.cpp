#include "platform/script/script_platform.h"

#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace {

Script script;
ScriptLineSource line_source;
int frames_begun;
bool in_frame;
ScriptFrame current_frame;  // the frame in progress (or the last one)
bool mouse_read_this_frame;
uint32_t last_tick;         // the value most recently read (0 before the first read)
bool any_tick_read;
int presents;

// The reads outside frames that the script gives for the current gap between frames
// (none past the script's end); used up in order, then the old rules apply.
bool gap_active;
ScriptGap gap;
size_t tick_runs_used;
uint64_t ticks_used_in_run;
size_t calendars_used;

// Input focus and device acquisition: a lost focus unacquires both devices, whose reads
// then fail until they are acquired again, which only works while the focus is back.
bool has_focus;
bool mouse_lost, keyboard_lost;

int fault_times[SCRIPT_OP_COUNT];
int call_counts[SCRIPT_OP_COUNT];

bool tick_override;
uint32_t tick_override_value;
bool mouse_override;
int32_t mouse_override_dx, mouse_override_dy;
bool mouse_override_left, mouse_override_right;

ScriptPresentHook present_hook;
ScriptMessageBoxHook message_box_hook;

alignas(64) uint8_t frame_memory[PLATFORM_FRAME_BYTES];  // rows start on cache lines
uint8_t palette_memory[256][3];

// Counts the call and reports whether it is to fail.
bool fails(ScriptOp op)
{
    call_counts[op]++;
    if (fault_times[op] == 0) return false;
    if (fault_times[op] > 0) fault_times[op]--;
    return true;
}

void enter_gap(size_t index)
{
    gap_active = index < script.gaps.size();
    if (gap_active) gap = script.gaps[index];
    tick_runs_used = 0;
    ticks_used_in_run = 0;
    calendars_used = 0;
}

// The next tick read outside a frame that the script gives, if any is left.
bool next_gap_tick(uint32_t* tick)
{
    if (!gap_active || tick_runs_used >= gap.tick_run_count) return false;
    const ScriptTickRun& run = script.tick_runs[gap.first_tick_run + tick_runs_used];
    *tick = static_cast<uint32_t>(run.first + ticks_used_in_run);
    if (++ticks_used_in_run >= run.count) {
        tick_runs_used++;
        ticks_used_in_run = 0;
    }
    return true;
}

bool next_gap_calendar(int64_t* seconds)
{
    if (!gap_active || calendars_used >= gap.calendar_count) return false;
    *seconds = script.calendar_values[gap.first_calendar + calendars_used++];
    return true;
}

int64_t default_calendar(uint32_t tick) { return 1000000000LL + tick / 1000; }

// The frame past the end of the script: ten milliseconds on, Escape held.
void make_escape_frame(ScriptFrame* frame, uint32_t previous_tick)
{
    std::memset(frame, 0, sizeof *frame);
    frame->tick = previous_tick + 10;
    hold_script_key(frame, SCAN_ESCAPE);
}

void take_next_frame()
{
    size_t index = static_cast<size_t>(frames_begun);
    ScriptFrameInput made;
    if (index < script.frames.size()) {
        current_frame = script.frames[index];
    } else if (line_source && line_source(frames_begun, &made)) {
        std::memset(&current_frame, 0, sizeof current_frame);
        current_frame.tick = made.tick;
        current_frame.dx = made.dx;
        current_frame.dy = made.dy;
        current_frame.left = made.left;
        current_frame.right = made.right;
        for (unsigned code = 0; code < 256; code++) {
            if (made.keys[code] & KEY_HELD) hold_script_key(&current_frame, code);
        }
    } else {
        uint32_t previous = frames_begun > 0 ? current_frame.tick : last_tick;
        make_escape_frame(&current_frame, previous);
    }
    // The reads between this frame and the next come from the gap after its line.
    enter_gap(index + 1);
}

}  // namespace

void script_reset()
{
    script = Script{};
    script.gaps.push_back({});
    line_source = nullptr;
    frames_begun = 0;
    in_frame = false;
    std::memset(&current_frame, 0, sizeof current_frame);
    mouse_read_this_frame = false;
    last_tick = 0;
    any_tick_read = false;
    presents = 0;
    enter_gap(0);
    has_focus = true;
    mouse_lost = false;
    keyboard_lost = false;
    std::memset(fault_times, 0, sizeof fault_times);
    std::memset(call_counts, 0, sizeof call_counts);
    tick_override = false;
    mouse_override = false;
    present_hook = nullptr;
    message_box_hook = nullptr;
    std::memset(frame_memory, 0, sizeof frame_memory);
    std::memset(palette_memory, 0, sizeof palette_memory);
}

void script_load(const Script& loaded)
{
    script = loaded;
    if (script.gaps.empty()) script.gaps.push_back({});
    enter_gap(static_cast<size_t>(frames_begun));
}

void script_take(Script* taken)
{
    script = Script{};
    std::swap(script, *taken);
    if (script.gaps.empty()) script.gaps.push_back({});
    enter_gap(static_cast<size_t>(frames_begun));
}

bool script_load_text(const char* text, char* error, size_t error_size)
{
    Script parsed;
    if (!parse_script(text, std::strlen(text), &parsed, error, error_size)) return false;
    script_load(parsed);
    return true;
}

bool script_load_file(const char* path, char* error, size_t error_size)
{
    Script parsed;
    if (!read_script_file(path, &parsed, error, error_size)) return false;
    script_load(parsed);
    return true;
}

void script_set_line_source(ScriptLineSource source) { line_source = source; }
uint32_t script_last_tick() { return last_tick; }
int script_presents() { return presents; }

void script_set_focus(bool focus)
{
    has_focus = focus;
    if (!focus) {
        mouse_lost = true;
        keyboard_lost = true;
    }
}
void script_set_present_hook(ScriptPresentHook hook) { present_hook = hook; }
void script_set_message_box_hook(ScriptMessageBoxHook hook) { message_box_hook = hook; }
void script_fail(ScriptOp op, int times) { fault_times[op] = times < 0 ? -1 : times; }
int script_calls(ScriptOp op) { return call_counts[op]; }

void script_override_ticks(uint32_t tick)
{
    tick_override = true;
    tick_override_value = tick;
}

void script_override_mouse(int32_t dx, int32_t dy, bool left, bool right)
{
    mouse_override = true;
    mouse_override_dx = dx;
    mouse_override_dy = dy;
    mouse_override_left = left;
    mouse_override_right = right;
}

uint8_t* script_frame() { return frame_memory; }
const uint8_t (*script_palette())[3] { return palette_memory; }

// ---- The platform operations ----------------------------------------------------------

bool platform_register_window_class() { return !fails(SCRIPT_OP_REGISTER_WINDOW_CLASS); }
bool platform_create_window(const char*) { return !fails(SCRIPT_OP_CREATE_WINDOW); }
void platform_show_window() { fails(SCRIPT_OP_SHOW_WINDOW); }
void platform_hide_cursor() { fails(SCRIPT_OP_HIDE_CURSOR); }
bool platform_create_display() { return !fails(SCRIPT_OP_CREATE_DISPLAY); }
bool platform_set_exclusive() { return !fails(SCRIPT_OP_SET_EXCLUSIVE); }
bool platform_set_display_mode() { return !fails(SCRIPT_OP_SET_DISPLAY_MODE); }
bool platform_create_primary_surface() { return !fails(SCRIPT_OP_CREATE_PRIMARY_SURFACE); }
bool platform_get_back_buffer() { return !fails(SCRIPT_OP_GET_BACK_BUFFER); }

bool platform_set_palette(const uint8_t palette[256][3])
{
    if (fails(SCRIPT_OP_SET_PALETTE)) return false;
    std::memcpy(palette_memory, palette, sizeof palette_memory);
    return true;
}

uint8_t* platform_lock_back_buffer()
{
    if (fails(SCRIPT_OP_LOCK)) return nullptr;
    return frame_memory;
}

void platform_unlock_back_buffer() { fails(SCRIPT_OP_UNLOCK); }

int platform_flip()
{
    bool drop = fails(SCRIPT_OP_FLIP_DROP);
    bool lost = fails(SCRIPT_OP_FLIP);
    // A present closes the frame: tick reads from here on count up from its tick.
    in_frame = false;
    int result = lost ? PLATFORM_FLIP_LOST : drop ? PLATFORM_FLIP_DROPPED : PLATFORM_FLIP_SHOWN;
    if (result == PLATFORM_FLIP_SHOWN) presents++;
    if (present_hook) present_hook(frame_memory, palette_memory, result);
    return result;
}

bool platform_restore() { return !fails(SCRIPT_OP_RESTORE); }

uint8_t* platform_begin_text()
{
    if (fails(SCRIPT_OP_BEGIN_TEXT)) return nullptr;
    return frame_memory;
}

void platform_end_text() { fails(SCRIPT_OP_END_TEXT); }
void platform_release_back_buffer() { fails(SCRIPT_OP_RELEASE_BACK_BUFFER); }
void platform_release_primary_surface() { fails(SCRIPT_OP_RELEASE_PRIMARY_SURFACE); }
void platform_release_display() { fails(SCRIPT_OP_RELEASE_DISPLAY); }

bool platform_create_input() { return !fails(SCRIPT_OP_CREATE_INPUT); }
bool platform_create_mouse() { return !fails(SCRIPT_OP_CREATE_MOUSE); }
bool platform_create_keyboard() { return !fails(SCRIPT_OP_CREATE_KEYBOARD); }
bool platform_acquire_mouse()
{
    if (fails(SCRIPT_OP_ACQUIRE_MOUSE) || !has_focus) return false;
    mouse_lost = false;
    return true;
}

bool platform_acquire_keyboard()
{
    if (fails(SCRIPT_OP_ACQUIRE_KEYBOARD) || !has_focus) return false;
    keyboard_lost = false;
    return true;
}
bool platform_unacquire_mouse() { return !fails(SCRIPT_OP_UNACQUIRE_MOUSE); }
bool platform_unacquire_keyboard() { return !fails(SCRIPT_OP_UNACQUIRE_KEYBOARD); }

// A script's reads are the game's already; there is no pointer to give back.
void platform_set_paused(bool) {}

bool platform_read_mouse(int32_t* dx, int32_t* dy, uint8_t buttons[2])
{
    if (fails(SCRIPT_OP_READ_MOUSE) || mouse_lost) return false;
    if (mouse_override) {
        *dx = mouse_override_dx;
        *dy = mouse_override_dy;
        buttons[0] = mouse_override_left ? KEY_HELD : 0;
        buttons[1] = mouse_override_right ? KEY_HELD : 0;
        return true;
    }
    if (in_frame && current_frame.mouse_fails) return false;
    // The line's motion is the motion since the previous frame: a second read within
    // the same frame sees none. The buttons stay as the line holds them.
    bool fresh = in_frame && !mouse_read_this_frame;
    *dx = fresh ? current_frame.dx : 0;
    *dy = fresh ? current_frame.dy : 0;
    buttons[0] = in_frame && current_frame.left ? KEY_HELD : 0;
    buttons[1] = in_frame && current_frame.right ? KEY_HELD : 0;
    if (in_frame) mouse_read_this_frame = true;
    return true;
}

bool platform_read_keyboard(uint8_t state[256])
{
    // Each keyboard read begins the next frame, whether or not the read is made to fail.
    take_next_frame();
    frames_begun++;
    in_frame = true;
    mouse_read_this_frame = false;
    last_tick = current_frame.tick;
    any_tick_read = true;
    if (fails(SCRIPT_OP_READ_KEYBOARD) || keyboard_lost || current_frame.keyboard_fails) return false;
    for (unsigned code = 0; code < 256; code++) state[code] = script_key_held(current_frame, code) ? KEY_HELD : 0;
    return true;
}

uint32_t platform_ticks()
{
    if (tick_override) {
        last_tick = tick_override_value;
        return last_tick;
    }
    if (in_frame) return current_frame.tick;
    // Outside frames: the script's values for this gap, then the counter creeps on by
    // one per read; the first read of a run returns 1.
    uint32_t given = 0;
    if (next_gap_tick(&given))
        last_tick = given;
    else
        last_tick = any_tick_read ? last_tick + 1 : 1;
    any_tick_read = true;
    return last_tick;
}

uint32_t platform_last_tick() { return last_tick; }

int64_t platform_calendar_seconds()
{
    if (tick_override) return default_calendar(tick_override_value);
    if (in_frame) return current_frame.calendar_given ? current_frame.calendar : default_calendar(current_frame.tick);
    int64_t given = 0;
    return next_gap_calendar(&given) ? given : default_calendar(last_tick);
}

void platform_idle() { fails(SCRIPT_OP_IDLE); }

void platform_message_box(const char* text, const char* caption, int icon)
{
    fails(SCRIPT_OP_MESSAGE_BOX);
    if (message_box_hook) message_box_hook(text, caption, icon);
}
