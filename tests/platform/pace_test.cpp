// The SDL platform's arithmetic: when paced frames are due, and mouse-speed scaling
// with its carried remainder.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/sdl/frame_pace.h"

namespace {

constexpr int64_t ms = 1000000;

// Each step: the time a frame's present ends (ns from the start) and the wait expected.
TEST(FramePace, FramesAreDueOnTheirScheduleAndALateOneRestartsIt)
{
    const struct {
        const char* name;
        int fps;
        std::vector<int64_t> present_ends, waits;
    } cases[] = {
        // The first flip only starts the schedule; then 1000/60 ms apart: 16.666666 and
        // 33.333333 ms, truncated to the nanosecond.
        {"60, quick frames", 60, {0, 1 * ms, 17 * ms, 34 * ms}, {0, 16666666 - 1 * ms, 33333333 - 17 * ms, 16 * ms}},
        // Late by less than a frame: no wait, the schedule kept.
        {"60, slow frames", 60, {0, 30 * ms, 34 * ms, 40 * ms}, {0, 0, 0, 10 * ms}},
        // Late by a whole frame (16666667 ns after frame 1 was due): the schedule starts
        // again from now.
        {"60, a whole frame late", 60, {0, 33333333, 33333333 + 1 * ms}, {0, 0, 16666666 - 1 * ms}},
        {"60, one ns short of a frame late", 60, {0, 33333332, 33333332 + 1 * ms}, {0, 0, 0}},
        {"1000", 1000, {5, 5, 1000006, 3000005}, {0, 1000000, 999999, 0}},
        {"20", 20, {0, 10 * ms, 60 * ms}, {0, 40 * ms, 40 * ms}},
    };
    for (const auto& c : cases) {
        FramePace pace;
        pace_start(&pace, c.fps);
        ASSERT_EQ(c.present_ends.size(), c.waits.size());
        for (size_t i = 0; i < c.waits.size(); i++)
            EXPECT_EQ(pace_wait_ns(&pace, c.present_ends[i]), c.waits[i]) << c.name << " step " << i;
    }
}

// Frames that take no time at all: exactly N a second, 16 or 17 whole ms apart at 60,
// and no drift however long the game runs.
TEST(FramePace, AnHourOfQuickFramesKeepsExactTime)
{
    for (int fps : {60, 144, 1000, 20}) {
        FramePace pace;
        pace_start(&pace, fps);
        const int64_t start = 1234567;
        int64_t now = start;
        pace_wait_ns(&pace, now);
        for (int64_t frame = 1; frame <= int64_t{3600} * fps; frame++) {
            int64_t previous_ms = now / ms;
            now += pace_wait_ns(&pace, now);
            ASSERT_TRUE(fps != 60 || now / ms - previous_ms == 16 || now / ms - previous_ms == 17) << frame;
        }
        EXPECT_EQ(now - start, int64_t{3600} * 1000 * ms) << fps;
    }
}

TEST(MouseSpeed, ScaledMotionCarriesItsRemainder)
{
    const struct {
        double speed;
        std::vector<int32_t> raw, scaled;
    } cases[] = {
        {1.0, {5, -7, 0, 2147483647, -2147483647 - 1}, {5, -7, 0, 2147483647, -2147483647 - 1}},
        // Slow motion adds up, truncated toward zero on both sides.
        {0.25, {1, 1, 1, 1, 1, -1, -1, -1, -1, -1}, {0, 0, 0, 1, 0, 0, 0, 0, 0, -1}},
        {0.5, {3, 3, -1, -1}, {1, 2, 0, -1}},
        {2.5, {1, 1, 1, -3}, {2, 3, 2, -7}},
        // Beyond the 32-bit range: clamped, the carry dropped.
        {10.0, {300000000, -300000000, 1}, {2147483647, -2147483647 - 1, 10}},
    };
    for (const auto& c : cases) {
        double carry = 0;
        std::vector<int32_t> scaled;
        for (int32_t raw : c.raw) scaled.push_back(scale_mouse_motion(raw, c.speed, &carry));
        EXPECT_EQ(scaled, c.scaled) << c.speed;
    }
}

}  // namespace
