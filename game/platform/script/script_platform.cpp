#include "platform/script/script_platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// One frame of the script. The held keys are a bitset, so long scripts stay small.
struct ScriptLine {
    uint32_t tick;
    int32_t dx, dy;
    bool left, right;
    uint8_t held[32];  // bit (code & 7) of byte code / 8 set while that key is held
};

void hold_key(ScriptLine* line, unsigned code) { line->held[code >> 3] |= static_cast<uint8_t>(1u << (code & 7)); }

void fill_key_state(const ScriptLine& line, uint8_t state[256])
{
    for (int code = 0; code < 256; code++)
        state[code] = (line.held[code >> 3] >> (code & 7)) & 1 ? KEY_HELD : 0;
}

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    int icon;
};

std::vector<ScriptLine> script_lines;
ScriptLineSource line_source;
int frames_begun;
bool in_frame;
ScriptLine current_line;   // the line of the frame in progress (or the last one)
bool mouse_read_this_frame;
uint32_t last_tick;        // the value most recently returned (0 before the first read)
bool any_tick_read;
int presents;

int flips;
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

std::vector<MessageBoxRecord> message_boxes;
ScriptPresentHook present_hook;
ScriptMessageBoxHook message_box_hook;

uint8_t frame_memory[PLATFORM_FRAME_BYTES];
uint8_t palette_memory[256][3];

// Counts the call and reports whether it is to fail.
bool fails(ScriptOp op)
{
    call_counts[op]++;
    if (fault_times[op] == 0) return false;
    if (fault_times[op] > 0) fault_times[op]--;
    return true;
}

void set_error(char* error, size_t error_size, int line_number, const char* what)
{
    if (error && error_size > 0)
        std::snprintf(error, error_size, "script line %d: %s", line_number, what);
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses one field of hex scan codes: "-" or codes of one or two hex digits like "01,3E".
bool parse_keys(const char* field, ScriptLine* line)
{
    std::memset(line->held, 0, sizeof line->held);
    if (std::strcmp(field, "-") == 0) return true;
    const char* p = field;
    for (;;) {
        int high = hex_digit(p[0]);
        if (high < 0) return false;
        int low = hex_digit(p[1]);
        unsigned code = static_cast<unsigned>(low < 0 ? high : high * 16 + low);
        p += low < 0 ? 1 : 2;
        hold_key(line, code);
        if (*p == '\0') return true;
        if (*p != ',') return false;
        p++;
    }
}

bool parse_int32(const char* field, int32_t* out)
{
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(field, &end, 10);
    if (end == field || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(value);
    return true;
}

bool parse_uint32(const char* field, uint32_t* out)
{
    if (field[0] == '-' || field[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(field, &end, 10);
    if (end == field || *end != '\0' || errno != 0 || value > UINT32_MAX) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool parse_line(char* text, ScriptLine* line, bool* blank, const char** why)
{
    char* hash = std::strchr(text, '#');
    if (hash) *hash = '\0';
    const char* fields[6];
    int count = 0;
    for (char* token = std::strtok(text, " \t\r\n"); token; token = std::strtok(nullptr, " \t\r\n")) {
        if (count == 5) {
            *why = "too many fields (expected TICK DX DY BUTTONS KEYS)";
            return false;
        }
        fields[count++] = token;
    }
    *blank = count == 0;
    if (*blank) return true;
    if (count != 5) {
        *why = "expected five fields: TICK DX DY BUTTONS KEYS";
        return false;
    }
    if (!parse_uint32(fields[0], &line->tick)) {
        *why = "TICK is not an unsigned 32-bit decimal number";
        return false;
    }
    if (!parse_int32(fields[1], &line->dx) || !parse_int32(fields[2], &line->dy)) {
        *why = "DX and DY must be signed 32-bit decimal numbers";
        return false;
    }
    const char* buttons = fields[3];
    line->left = false;
    line->right = false;
    if (std::strcmp(buttons, "L") == 0) {
        line->left = true;
    } else if (std::strcmp(buttons, "R") == 0) {
        line->right = true;
    } else if (std::strcmp(buttons, "LR") == 0) {
        line->left = line->right = true;
    } else if (std::strcmp(buttons, "-") != 0) {
        *why = "BUTTONS must be -, L, R or LR";
        return false;
    }
    if (!parse_keys(fields[4], line)) {
        *why = "KEYS must be - or comma-separated hex scan codes 00..FF";
        return false;
    }
    return true;
}

// The line for a frame past the end of the script: ten milliseconds on, Escape held.
void make_escape_line(ScriptLine* line, uint32_t previous_tick)
{
    std::memset(line, 0, sizeof *line);
    line->tick = previous_tick + 10;
    hold_key(line, SCAN_ESCAPE);
}

}  // namespace

void script_reset()
{
    script_lines.clear();
    line_source = nullptr;
    frames_begun = 0;
    in_frame = false;
    std::memset(&current_line, 0, sizeof current_line);
    mouse_read_this_frame = false;
    last_tick = 0;
    any_tick_read = false;
    presents = 0;
    flips = 0;
    has_focus = true;
    mouse_lost = false;
    keyboard_lost = false;
    std::memset(fault_times, 0, sizeof fault_times);
    std::memset(call_counts, 0, sizeof call_counts);
    tick_override = false;
    mouse_override = false;
    message_boxes.clear();
    present_hook = nullptr;
    message_box_hook = nullptr;
    std::memset(frame_memory, 0, sizeof frame_memory);
    std::memset(palette_memory, 0, sizeof palette_memory);
}

bool script_load_text(const char* text, char* error, size_t error_size)
{
    std::vector<ScriptLine> parsed;
    std::string all(text);
    size_t start = 0;
    int line_number = 0;
    while (start <= all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string one = all.substr(start, end - start);
        line_number++;
        ScriptLine line;
        bool blank = false;
        const char* why = "";
        if (!parse_line(one.data(), &line, &blank, &why)) {
            set_error(error, error_size, line_number, why);
            return false;
        }
        if (!blank) parsed.push_back(line);
        start = end + 1;
    }
    script_lines = std::move(parsed);
    return true;
}

bool script_load_file(const char* path, char* error, size_t error_size)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        if (error && error_size > 0) std::snprintf(error, error_size, "cannot open %s", path);
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    if (text.find('\0') != std::string::npos) {
        if (error && error_size > 0) std::snprintf(error, error_size, "%s is not a text file", path);
        return false;
    }
    return script_load_text(text.c_str(), error, error_size);
}

void script_set_line_source(ScriptLineSource source) { line_source = source; }

int script_frames_begun() { return frames_begun; }
uint32_t script_last_tick() { return last_tick; }
int script_presents() { return presents; }
int script_flips() { return flips; }

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
int script_message_box_count() { return static_cast<int>(message_boxes.size()); }

const char* script_message_box_text(int index)
{
    if (index < 0 || index >= script_message_box_count()) return "";
    return message_boxes[static_cast<size_t>(index)].text.c_str();
}

const char* script_message_box_caption(int index)
{
    if (index < 0 || index >= script_message_box_count()) return "";
    return message_boxes[static_cast<size_t>(index)].caption.c_str();
}

int script_message_box_icon(int index)
{
    if (index < 0 || index >= script_message_box_count()) return -1;
    return message_boxes[static_cast<size_t>(index)].icon;
}

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
    flips++;
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
    // The line's motion is the motion since the previous frame: a second read within
    // the same frame sees none. The buttons stay as the line holds them.
    bool fresh = in_frame && !mouse_read_this_frame;
    *dx = fresh ? current_line.dx : 0;
    *dy = fresh ? current_line.dy : 0;
    buttons[0] = in_frame && current_line.left ? KEY_HELD : 0;
    buttons[1] = in_frame && current_line.right ? KEY_HELD : 0;
    if (in_frame) mouse_read_this_frame = true;
    return true;
}

bool platform_read_keyboard(uint8_t state[256])
{
    // Each keyboard read begins the next frame, whether or not the read is made to fail.
    size_t index = static_cast<size_t>(frames_begun);
    ScriptFrameInput made;
    if (index < script_lines.size()) {
        current_line = script_lines[index];
    } else if (line_source && line_source(frames_begun, &made)) {
        std::memset(&current_line, 0, sizeof current_line);
        current_line.tick = made.tick;
        current_line.dx = made.dx;
        current_line.dy = made.dy;
        current_line.left = made.left;
        current_line.right = made.right;
        for (unsigned code = 0; code < 256; code++) {
            if (made.keys[code] & KEY_HELD) hold_key(&current_line, code);
        }
    } else {
        uint32_t previous = frames_begun > 0 ? current_line.tick : last_tick;
        make_escape_line(&current_line, previous);
    }
    frames_begun++;
    in_frame = true;
    mouse_read_this_frame = false;
    last_tick = current_line.tick;
    any_tick_read = true;
    if (fails(SCRIPT_OP_READ_KEYBOARD) || keyboard_lost) return false;
    fill_key_state(current_line, state);
    return true;
}

uint32_t platform_ticks()
{
    if (tick_override) {
        last_tick = tick_override_value;
        return last_tick;
    }
    if (in_frame) return current_line.tick;
    // Outside frames the counter creeps on by one per read; the first read returns 1.
    last_tick = any_tick_read ? last_tick + 1 : 1;
    any_tick_read = true;
    return last_tick;
}

int64_t platform_calendar_seconds()
{
    uint32_t now = tick_override ? tick_override_value : (in_frame ? current_line.tick : last_tick);
    return 1000000000LL + now / 1000;
}

void platform_idle() { fails(SCRIPT_OP_IDLE); }

void platform_message_box(const char* text, const char* caption, int icon)
{
    fails(SCRIPT_OP_MESSAGE_BOX);
    message_boxes.push_back({text, caption, icon});
    if (message_box_hook) message_box_hook(text, caption, icon);
}
