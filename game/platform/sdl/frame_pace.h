// The schedule of paced frames and the scaling of mouse motion: plain arithmetic for the
// SDL platform, kept apart from SDL so that it can be checked on its own.
#pragma once

#include <cstdint>

// Frames due 1/frames_per_second apart on a monotonic clock in nanoseconds: frame n of
// the current run is due at origin + n * 10^9 / frames_per_second.
struct FramePace {
    int frames_per_second;
    bool started;
    int64_t origin_ns;
    int64_t frame;  // the frame due next, counted from origin (below frames_per_second)
};

// Starts a schedule at the given pace (above 0); the first frame after the next flip
// starts at once.
void pace_start(FramePace* pace, int frames_per_second);
// Called after each present with the clock's value: how long to sleep before the next
// frame starts (0: start it now). Late by less than one frame, the schedule is kept
// (the next frame starts at once); late by a whole frame or more, it starts again from
// now, so a slow machine runs as fast as it can and never tries to catch up.
int64_t pace_wait_ns(FramePace* pace, int64_t now_ns);

// Scales one axis of mouse motion by `speed`, carrying what truncation toward zero leaves
// to the next read so that slow motion adds up instead of being lost. A result beyond
// the 32-bit range is clamped and the carry dropped.
int32_t scale_mouse_motion(int32_t raw, double speed, double* carry);
