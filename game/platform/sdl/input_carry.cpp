#include "platform/sdl/input_carry.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

void key_queue_change(KeyQueue* key, bool down)
{
    if (key->down == down) return;
    key->down = down;
    if (key->count < key_queue_depth) key->pending[key->count++] = down;
}

bool key_queue_read(KeyQueue* key)
{
    if (key->count == 0) return key->down;
    bool seen = key->pending[0];
    for (int i = 1; i < key->count; i++) key->pending[i - 1] = key->pending[i];
    key->count--;
    return seen;
}

void key_queue_reset(KeyQueue* key)
{
    key->down = false;
    key->count = 0;
}

namespace {

int64_t clamp64(int64_t value, int64_t limit) { return value < -limit ? -limit : value > limit ? limit : value; }

}  // namespace

void motion_carry_add(MotionCarry* carry, int64_t dx, int64_t dy, int64_t limit)
{
    // Each step is clamped first, so the sum cannot overflow whatever a device says.
    carry->x = clamp64(carry->x + clamp64(dx, limit), limit);
    carry->y = clamp64(carry->y + clamp64(dy, limit), limit);
}

void motion_carry_take(MotionCarry* carry, int32_t* dx, int32_t* dy)
{
    *dx = static_cast<int32_t>(clamp64(carry->x, motion_per_read));
    *dy = static_cast<int32_t>(clamp64(carry->y, motion_per_read));
    carry->x -= *dx;
    carry->y -= *dy;
}

int64_t motion_carry_limit(int frames_per_second)
{
    return int64_t{motion_per_read} * (frames_per_second > 60 ? frames_per_second : 60);
}

double pad_deflection(int raw, double dead_zone)
{
    double value = raw / 32767.0;
    if (value < -1.0) value = -1.0;  // -32768
    if (value > 1.0) value = 1.0;
    if (!(dead_zone >= 0.0)) dead_zone = 0.0;
    if (dead_zone > 0.9) dead_zone = 0.9;
    double size = std::fabs(value);
    if (size <= dead_zone) return 0.0;
    if (size >= 1.0) return value < 0 ? -1.0 : 1.0;  // exactly, whatever the dead zone's rounding
    double stretched = (size - dead_zone) / (1.0 - dead_zone);
    return value < 0 ? -stretched : stretched;
}

namespace {

// Counts for a deflection, the fraction kept in carry; bounded by the deflection of 1.
int32_t counts(double deflection, double speed, double* carry)
{
    double exact = deflection * pad_counts_at_full * speed + *carry;
    // A hair over, so that 0.1 * 20 + 0.9 * 20 = 20 is 20 and not 19 with a carry of 0.99...
    double whole = std::trunc(exact + (exact < 0 ? -1e-9 : 1e-9));
    *carry = exact - whole;
    double bound = pad_counts_at_full * 10.0 + 1.0;  // speed is at most 10
    if (whole > bound) whole = bound;
    if (whole < -bound) whole = -bound;
    return static_cast<int32_t>(whole);
}

}  // namespace

PadMotion pad_motion(const int16_t axes[PAD_AXES], const GamepadFeel* feel, double carry[2])
{
    PadMotion motion = {false, 0, 0, false, false};
    double speed = feel->stick_speed > 0 ? feel->stick_speed : 1.0;
    if (speed > 10.0) speed = 10.0;
    double rx = pad_deflection(axes[PAD_RIGHT_X], feel->dead_zone);
    double ry = pad_deflection(axes[PAD_RIGHT_Y], feel->dead_zone);
    // Triggers rest at 0 and travel to 32767; the right one moves the camera farther.
    double trigger = pad_deflection(axes[PAD_TRIGGER_RIGHT], feel->dead_zone) -
                     pad_deflection(axes[PAD_TRIGGER_LEFT], feel->dead_zone);
    double lx = pad_deflection(axes[PAD_LEFT_X], feel->dead_zone);
    double ly = pad_deflection(axes[PAD_LEFT_Y], feel->dead_zone);
    double x = 0, y = 0;
    if (rx != 0 || ry != 0) {
        motion.right = true;
        x = rx;
        y = feel->invert_tilt ? -ry : ry;
    } else if (trigger != 0) {
        motion.left = true;
        y = trigger;
    } else if (lx != 0 || ly != 0) {
        x = lx;
        y = ly;
    } else {
        carry[0] = carry[1] = 0;
        return motion;
    }
    motion.active = true;
    motion.dx = counts(x, speed, &carry[0]);
    motion.dy = counts(y, speed, &carry[1]);
    return motion;
}

void mouse_read_finish(MotionCarry* carry, const PadMotion& pad, bool pointer_free, int64_t limit, bool left,
                       bool right, int32_t* dx, int32_t* dy, uint8_t buttons[2])
{
    if (pad.active && !pointer_free && !left && !right) {
        motion_carry_add(carry, pad.dx, pad.dy, limit);
        left = pad.left;
        right = pad.right;
    }
    motion_carry_take(carry, dx, dy);
    buttons[0] = left ? KEY_HELD : 0;
    buttons[1] = right ? KEY_HELD : 0;
}

namespace {

// A whole decimal number from low to high at *text, which moves past it; false otherwise.
bool take_number(const char** text, long low, long high, long* value)
{
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(*text, &end, 10);
    if (end == *text || errno != 0 || *value < low || *value > high) return false;
    if (*end != ' ' && *end != '\t') return false;
    *text = end;
    return true;
}

}  // namespace

bool parse_pad_test_line(const char* line, PadTestState* state)
{
    *state = {};
    long value = 0;
    if (!take_number(&line, 0, 1L << 30, &value)) return false;
    state->read = value;
    for (int axis = 0; axis < PAD_AXES; axis++) {
        if (!take_number(&line, axis >= PAD_TRIGGER_LEFT ? 0 : -32768, 32767, &value)) return false;
        state->axes[axis] = static_cast<int>(value);
    }
    while (*line == ' ' || *line == '\t') line++;
    char names[64];
    size_t length = std::strcspn(line, " \t\r\n");
    if (length == 0 || length >= sizeof names) return false;
    std::memcpy(names, line, length);
    names[length] = '\0';
    if (std::strcmp(names, "-") == 0) return true;
    // Each comma-separated name must be a button the test pad has.
    for (char* name = names; name;) {
        char* comma = std::strchr(name, ',');
        if (comma) *comma = '\0';
        if (std::strcmp(name, "a") == 0) state->a = true;
        else if (std::strcmp(name, "b") == 0) state->b = true;
        else if (std::strcmp(name, "start") == 0) state->start = true;
        else if (std::strcmp(name, "back") == 0) state->back = true;
        else return false;
        name = comma ? comma + 1 : nullptr;
    }
    return true;
}
