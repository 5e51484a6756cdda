#include "shell/trace.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "common/script/line_output.h"
#include "render/frame.h"
#include "shell/display.h"
#include "shell/game.h"
#include "sim/collisions.h"
#include "world/camera.h"
#include "world/world.h"

namespace {

LineOutput output;
bool open_now;
long presents;
std::string line;

void add_format(const char* format, auto... values)
{
    char text[160];
    int n = std::snprintf(text, sizeof text, format, values...);
    if (n > 0) line.append(text, static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1);
}

// Control characters as \u00XX, so every line stays one line of valid JSON.
void add_string(const char* text)
{
    line += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) {
        if (*p == '"' || *p == '\\') {
            line += '\\';
            line += static_cast<char>(*p);
        } else if (*p < 0x20) {
            add_format("\\u%04x", static_cast<unsigned>(*p));
        } else {
            line += static_cast<char>(*p);
        }
    }
    line += '"';
}

// Doubles read back exactly; JSON has no infinity or NaN, so those become null.
void add_double(double value)
{
    if (std::isfinite(value))
        add_format("%.17g", value);
    else
        line += "null";
}

void emit()
{
    line += '\n';
    line_output_append(&output, line.data(), line.size());
    line_output_tick(&output);
    line.clear();
}

}  // namespace

bool trace_open(const char* path, const char* what)
{
    presents = 0;
    open_now = line_output_open(&output, path, what);
    return open_now;
}

void trace_start() { line_output_start(&output); }

void trace_discard(const char* path)
{
    line_output_discard(&output, path);
    open_now = false;
}

bool trace_is_open() { return open_now; }
const LineOutput* trace_output() { return &output; }
long trace_presents() { return presents; }

void trace_present(const uint8_t* frame)
{
    if (!open_now) return;
    add_format("{\"frame\":%ld,\"level\":%d,\"tick\":%u,\"level_done\":%d,\"level_failed\":%d,\"debug_flags\":%u,",
               presents, static_cast<int>(level_number), static_cast<unsigned>(platform_last_tick()),
               static_cast<int>(level_done), static_cast<int>(level_failed), static_cast<unsigned>(debug_flags));
    line += "\"texts\":[";
    for (int i = 0; i < overlay_text_count(); i++) {
        if (i > 0) line += ',';
        add_string(overlay_text(i));
    }
    line += "],\"camera\":[";
    const double camera[5] = {camera_focus_x, camera_focus_y, camera_distance, camera_pitch, camera_yaw};
    for (int i = 0; i < 5; i++) {
        if (i > 0) line += ',';
        add_double(camera[i]);
    }
    line += "],\"entities\":[";
    int count = entity_count < 0 ? 0 : entity_count > ENTITY_SLOTS ? ENTITY_SLOTS : entity_count;
    for (int slot = 0; slot < count; slot++) {
        const Entity& e = entities[slot];
        add_format("%s[%d", slot > 0 ? "," : "", static_cast<int>(e.type));
        const double fields[10] = {e.x, e.y, e.z, e.vx, e.vy, e.vz, e.heading, e.drive_fwd, e.drive_side, e.drive_up};
        for (double value : fields) {
            line += ',';
            add_double(value);
        }
        line += ']';
    }
    unsigned long crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, frame, PLATFORM_FRAME_BYTES);
    add_format("],\"frame_crc32\":\"%08lx\"", crc & 0xFFFFFFFFul);
    if (closing_message_active) line += ",\"closing\":true";
    line += '}';
    emit();
    presents++;
    if (closing_message_active) line_output_flush(&output);
}

void trace_message_box(const char* text, const char* caption)
{
    if (!open_now) return;
    line += "{\"message_box\":{\"caption\":";
    add_string(caption);
    line += ",\"text\":";
    add_string(text);
    line += "}}";
    emit();
    line_output_flush(&output);
}

bool trace_close(int exit_code)
{
    if (!open_now) return true;
    add_format("{\"exit\":%d,\"frames\":%ld}", exit_code, presents);
    emit();
    open_now = false;
    return line_output_close(&output) && !output.failed;
}
