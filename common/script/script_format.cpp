#include "common/script/script_format.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const separators = " \t\r\n";

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "-" or codes of one or two hex digits like "01,3E".
bool parse_keys(const char* field, ScriptFrame* frame)
{
    std::memset(frame->held, 0, sizeof frame->held);
    if (std::strcmp(field, "-") == 0) return true;
    const char* p = field;
    for (;;) {
        int high = hex_digit(p[0]);
        if (high < 0) return false;
        int low = hex_digit(p[1]);
        unsigned code = static_cast<unsigned>(low < 0 ? high : high * 16 + low);
        p += low < 0 ? 1 : 2;
        hold_script_key(frame, code);
        if (*p == '\0') return true;
        if (*p != ',') return false;
        p++;
    }
}

// strtoll and strtoull pass over leading white space of every kind (a vertical tab, a
// form feed): a number here starts with its digits, after at most a sign.
bool starts_as_number(const char* field)
{
    const char* digits = field[0] == '-' || field[0] == '+' ? field + 1 : field;
    return *digits >= '0' && *digits <= '9';
}

bool parse_signed(const char* field, long long low, long long high, long long* out)
{
    if (!starts_as_number(field)) return false;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(field, &end, 10);
    if (end == field || *end != '\0' || errno != 0 || value < low || value > high) return false;
    *out = value;
    return true;
}

bool parse_uint32(const char* field, uint32_t* out)
{
    if (field[0] < '0' || field[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(field, &end, 10);
    if (end == field || *end != '\0' || errno != 0 || value > UINT32_MAX) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

// "V" or "A..B" with A <= B.
bool parse_tick_run(char* item, ScriptTickRun* run)
{
    char* dots = std::strstr(item, "..");
    uint32_t last = 0;
    if (dots) {
        *dots = '\0';
        if (!parse_uint32(item, &run->first) || !parse_uint32(dots + 2, &last) || last < run->first) return false;
    } else {
        if (!parse_uint32(item, &run->first)) return false;
        last = run->first;
    }
    run->count = static_cast<uint64_t>(last) - run->first + 1;
    return true;
}

// A word of the options directive with its %XX escapes decoded.
bool decode_word(const char* word, std::string* out)
{
    out->clear();
    for (const char* p = word; *p; p++) {
        if (*p != '%') {
            out->push_back(*p);
            continue;
        }
        int high = hex_digit(p[1]);
        int low = high < 0 ? -1 : hex_digit(p[2]);
        if (low < 0) return false;
        out->push_back(static_cast<char>(high * 16 + low));
        p += 2;
    }
    return true;
}

// The optional fields after KEYS, each at most once.
const char* parse_extra_field(const char* field, ScriptFrame* frame, bool* seen_fail)
{
    if (std::strncmp(field, "cal=", 4) == 0) {
        long long value = 0;
        if (frame->calendar_given) return "cal= given twice";
        if (!parse_signed(field + 4, INT64_MIN, INT64_MAX, &value)) return "cal= needs a signed 64-bit decimal number";
        frame->calendar_given = true;
        frame->calendar = value;
        return nullptr;
    }
    if (std::strncmp(field, "fail=", 5) == 0) {
        if (*seen_fail) return "fail= given twice";
        *seen_fail = true;
        const char* what = field + 5;
        if (std::strcmp(what, "K") == 0) {
            frame->keyboard_fails = true;
        } else if (std::strcmp(what, "M") == 0) {
            frame->mouse_fails = true;
        } else if (std::strcmp(what, "KM") == 0) {
            frame->keyboard_fails = frame->mouse_fails = true;
        } else {
            return "fail= must be K, M or KM";
        }
        return nullptr;
    }
    return "unknown field after KEYS (expected cal=SECONDS or fail=K|M|KM)";
}

// One frame line of at least five fields; the reason when it is bad.
const char* parse_frame(char** fields, int count, ScriptFrame* frame)
{
    std::memset(frame, 0, sizeof *frame);
    if (count < 5) return "expected five fields: TICK DX DY BUTTONS KEYS";
    if (!parse_uint32(fields[0], &frame->tick)) return "TICK is not an unsigned 32-bit decimal number";
    long long dx = 0, dy = 0;
    if (!parse_signed(fields[1], INT32_MIN, INT32_MAX, &dx) || !parse_signed(fields[2], INT32_MIN, INT32_MAX, &dy))
        return "DX and DY must be signed 32-bit decimal numbers";
    frame->dx = static_cast<int32_t>(dx);
    frame->dy = static_cast<int32_t>(dy);
    const char* buttons = fields[3];
    if (std::strcmp(buttons, "L") == 0) {
        frame->left = true;
    } else if (std::strcmp(buttons, "R") == 0) {
        frame->right = true;
    } else if (std::strcmp(buttons, "LR") == 0) {
        frame->left = frame->right = true;
    } else if (std::strcmp(buttons, "-") != 0) {
        return "BUTTONS must be -, L, R or LR";
    }
    if (!parse_keys(fields[4], frame)) return "KEYS must be - or comma-separated hex scan codes 00..FF";
    bool seen_fail = false;
    for (int i = 5; i < count; i++) {
        const char* why = parse_extra_field(fields[i], frame, &seen_fail);
        if (why) return why;
    }
    return nullptr;
}

// A directive line (its first field is a word); null when it is fine.
const char* parse_directive(char** fields, int count, Script* script)
{
    ScriptGap& gap = script->gaps.back();
    if (std::strcmp(fields[0], "ticks") == 0) {
        if (count < 2) return "ticks needs at least one value";
        for (int i = 1; i < count; i++) {
            ScriptTickRun run;
            if (!parse_tick_run(fields[i], &run)) return "ticks takes unsigned 32-bit values V or runs A..B with A <= B";
            if (script->tick_runs.size() >= UINT32_MAX) return "too many ticks values in one script";
            script->tick_runs.push_back(run);
            gap.tick_run_count++;
        }
        return nullptr;
    }
    if (std::strcmp(fields[0], "calendar") == 0) {
        if (count < 2) return "calendar needs at least one value";
        for (int i = 1; i < count; i++) {
            long long value = 0;
            if (!parse_signed(fields[i], INT64_MIN, INT64_MAX, &value))
                return "calendar takes signed 64-bit decimal numbers";
            if (script->calendar_values.size() >= UINT32_MAX) return "too many calendar values in one script";
            script->calendar_values.push_back(value);
            gap.calendar_count++;
        }
        return nullptr;
    }
    if (std::strcmp(fields[0], "options") == 0) {
        if (!script->frames.empty()) return "options must come before the first frame";
        if (script->options_line != 0) return "options given twice";
        for (int i = 1; i < count; i++) {
            std::string word;
            if (!decode_word(fields[i], &word)) return "options: % must be followed by two hex digits";
            script->options.push_back(word);
        }
        return nullptr;
    }
    return "unknown directive (expected a frame line, ticks, calendar or options)";
}

void set_error(char* error, size_t error_size, const char* text)
{
    if (error && error_size > 0) std::snprintf(error, error_size, "%s", text);
}

// The lines that would be read as frames: text that starts with neither '#' nor a
// lower-case letter (a directive). At least as many as the frames of a good script.
size_t count_frame_lines(const char* text, size_t size)
{
    size_t count = 0;
    size_t start = 0;
    while (start < size) {
        const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
        size_t end = newline ? static_cast<size_t>(newline - text) : size;
        size_t first = start;
        while (first < end && (text[first] == ' ' || text[first] == '\t' || text[first] == '\r')) first++;
        if (first < end && text[first] != '#' && text[first] != '\0' && !(text[first] >= 'a' && text[first] <= 'z'))
            count++;
        start = end + 1;
    }
    return count;
}

void start_gap(Script* script)
{
    script->gaps.push_back(
        {static_cast<uint32_t>(script->tick_runs.size()), 0, static_cast<uint32_t>(script->calendar_values.size()), 0});
}

}  // namespace

void hold_script_key(ScriptFrame* frame, unsigned code)
{
    frame->held[(code >> 3) & 31] |= static_cast<uint8_t>(1u << (code & 7));
}

bool script_key_held(const ScriptFrame& frame, unsigned code) { return (frame.held[(code >> 3) & 31] >> (code & 7)) & 1; }

bool parse_script(const char* text, size_t size, Script* script, char* error, size_t error_size)
{
    *script = Script{};
    // Room for every frame at once keeps a long script at its size, without the slack of
    // a growing vector (comment and blank lines take none).
    size_t frame_lines = count_frame_lines(text, size);
    script->frames.reserve(frame_lines);
    script->gaps.reserve(frame_lines + 1);
    start_gap(script);
    std::string line;
    std::vector<char*> fields;
    size_t start = 0;
    if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) start = 3;
    int line_number = 0;
    while (start <= size) {
        const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
        size_t end = newline ? static_cast<size_t>(newline - text) : size;
        line.assign(text + start, end - start);
        start = end + 1;
        line_number++;
        // Everything after '#' is a comment; a NUL ends the line's text as well.
        size_t cut = line.find_first_of(std::string("#\0", 2));
        if (cut != std::string::npos) line.resize(cut);
        fields.clear();
        for (char* token = std::strtok(line.data(), separators); token; token = std::strtok(nullptr, separators))
            fields.push_back(token);
        if (fields.empty()) continue;
        // Text after the last newline: the file may have been cut inside this line.
        if (!newline) script->unended_line = line_number;
        const char* why = nullptr;
        int count = static_cast<int>(fields.size());
        char first = fields[0][0];
        // No frame line starts with a lower-case letter, so old scripts read as before.
        if (first >= 'a' && first <= 'z') {
            why = parse_directive(fields.data(), count, script);
            if (!why && std::strcmp(fields[0], "options") == 0) script->options_line = line_number;
        } else {
            ScriptFrame frame;
            why = parse_frame(fields.data(), count, &frame);
            if (!why) {
                script->frames.push_back(frame);
                start_gap(script);
            }
        }
        if (why) {
            char message[160];
            std::snprintf(message, sizeof message, "script line %d: %s", line_number, why);
            set_error(error, error_size, message);
            *script = Script{};
            start_gap(script);
            return false;
        }
    }
    return true;
}

bool read_script_file(const char* path, Script* script, char* error, size_t error_size)
{
    char message[512];
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::snprintf(message, sizeof message, "cannot open %s: %s", path, std::strerror(errno));
        set_error(error, error_size, message);
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    // A read error (a directory, a failing disk) is not the end of the script.
    int read_error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (read_error != 0) {
        std::snprintf(message, sizeof message, "cannot read %s: %s", path, std::strerror(read_error));
        set_error(error, error_size, message);
        return false;
    }
    if (text.find('\0') != std::string::npos) {
        std::snprintf(message, sizeof message, "%s is not a text file", path);
        set_error(error, error_size, message);
        return false;
    }
    return parse_script(text.data(), text.size(), script, error, error_size);
}

std::string format_script_frame(const ScriptFrame& frame)
{
    char head[64];
    std::snprintf(head, sizeof head, "%u %d %d %s ", static_cast<unsigned>(frame.tick), static_cast<int>(frame.dx),
                  static_cast<int>(frame.dy),
                  frame.left && frame.right ? "LR" : frame.left ? "L" : frame.right ? "R" : "-");
    std::string text = head;
    bool any = false;
    for (unsigned code = 0; code < 256; code++) {
        if (!script_key_held(frame, code)) continue;
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", any ? "," : "", code);
        text += hex;
        any = true;
    }
    if (!any) text += "-";
    if (frame.calendar_given) {
        text += " cal=";
        text += std::to_string(frame.calendar);
    }
    if (frame.keyboard_fails || frame.mouse_fails) {
        text += " fail=";
        if (frame.keyboard_fails) text += 'K';
        if (frame.mouse_fails) text += 'M';
    }
    text += '\n';
    return text;
}

std::string format_script_ticks(const ScriptTickRun* runs, size_t count)
{
    std::string text = "ticks";
    for (size_t i = 0; i < count; i++) {
        text += ' ';
        text += std::to_string(runs[i].first);
        if (runs[i].count > 1) {
            text += "..";
            text += std::to_string(static_cast<uint64_t>(runs[i].first) + runs[i].count - 1);
        }
    }
    text += '\n';
    return text;
}

std::string format_script_calendar(const int64_t* values, size_t count)
{
    std::string text = "calendar";
    for (size_t i = 0; i < count; i++) {
        text += ' ';
        text += std::to_string(values[i]);
    }
    text += '\n';
    return text;
}

std::string format_script_options(const std::vector<std::string>& words)
{
    std::string text = "options";
    for (const std::string& word : words) {
        text += ' ';
        for (unsigned char c : word) {
            if (c <= 0x20 || c >= 0x7F || c == '#' || c == '%') {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", c);
                text += escape;
            } else {
                text += static_cast<char>(c);
            }
        }
    }
    text += '\n';
    return text;
}
