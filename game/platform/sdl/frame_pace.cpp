#include "platform/sdl/frame_pace.h"

#include <cmath>

namespace {

constexpr int64_t nanoseconds_per_second = 1000000000;

int64_t due_ns(const FramePace* pace, int64_t frame)
{
    return pace->origin_ns + frame * nanoseconds_per_second / pace->frames_per_second;
}

}  // namespace

void pace_start(FramePace* pace, int frames_per_second)
{
    pace->frames_per_second = frames_per_second > 0 ? frames_per_second : 1;
    pace->started = false;
    pace->origin_ns = 0;
    pace->frame = 0;
}

int64_t pace_wait_ns(FramePace* pace, int64_t now_ns)
{
    if (!pace->started) {
        pace->started = true;
        pace->origin_ns = now_ns;
        pace->frame = 0;
        return 0;
    }
    pace->frame++;
    // A whole second of frames is exactly 10^9 ns: move the origin on, so the
    // products above stay small however long the game runs.
    if (pace->frame >= pace->frames_per_second) {
        pace->origin_ns += nanoseconds_per_second;
        pace->frame -= pace->frames_per_second;
    }
    int64_t due = due_ns(pace, pace->frame);
    if (now_ns < due) return due - now_ns;
    if (now_ns - due >= due_ns(pace, pace->frame + 1) - due) {
        pace->origin_ns = now_ns;
        pace->frame = 0;
    }
    return 0;
}

int32_t scale_mouse_motion(int32_t raw, double speed, double* carry)
{
    double total = static_cast<double>(raw) * speed + *carry;
    if (!(total >= -2147483648.0 && total < 2147483648.0)) {
        *carry = 0;
        return total < 0 ? INT32_MIN : INT32_MAX;
    }
    double whole = std::trunc(total);
    *carry = total - whole;
    return static_cast<int32_t>(whole);
}
