// What the SDL platform keeps between reads: key taps, flicks beyond the per-read clamp,
// and the gamepad turned into mouse reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sdl/input_carry.h"

namespace {

// Steps: 'd' a press, 'u' a release, 'r' a read, whose result is appended ('H' held, '.' up).
std::string play_key(const std::string& steps)
{
    KeyQueue key = {};
    std::string reads;
    for (char step : steps) {
        if (step == 'd' || step == 'u') key_queue_change(&key, step == 'd');
        if (step == 'r') reads += key_queue_read(&key) ? 'H' : '.';
        if (step == 'x') key_queue_reset(&key);
    }
    return reads;
}

TEST(KeyQueue, EveryChangeIsReadOnceInOrder)
{
    const struct {
        const char* name;
        const char* steps;
        const char* reads;
    } cases[] = {
        {"nothing", "rr", ".."},
        {"held across reads", "drrrur", "HHH."},
        {"a tap between two reads", "rdurr", ".H."},
        {"two taps between two reads", "rdudurrrr", ".H.H."},
        {"repeats change nothing", "dddrurr", "H.."},
        {"released and pressed again while held", "drudrr", "H.H"},
        // Four changes wait at most; later ones only move the state the reads end on.
        {"a burst beyond the queue", "dudududurrrrrr", "H.H..."},
        {"a burst ending held", "dudududdrrrrrr", "H.H.HH"},
        {"reset forgets what waits", "dudxrr", ".."},
    };
    for (const auto& c : cases) EXPECT_EQ(play_key(c.steps), c.reads) << c.name;
}

TEST(MotionCarry, FlicksAreHandedOutAHundredAReadWithinTheBound)
{
    const struct {
        const char* name;
        int64_t dx, dy, limit;
        std::vector<int32_t> xs, ys;  // the reads that follow, without further motion
    } cases[] = {
        {"600 in one event: six reads of 100", 600, 0, 6000, {100, 100, 100, 100, 100, 100, 0}, {0, 0, 0, 0, 0, 0, 0}},
        {"exactly 100: one read", 100, -100, 6000, {100, 0}, {-100, 0}},
        {"101: one count left over", 101, -101, 6000, {100, 1, 0}, {-100, -1, 0}},
        {"small motion passes at once", 7, -3, 6000, {7, 0}, {-3, 0}},
        {"beyond the bound: clamped to it", 1000000, -250, 300, {100, 100, 100, 0}, {-100, -100, -50, 0}},
        {"a runaway value cannot overflow", INT64_MAX, INT64_MIN, 6000,
         std::vector<int32_t>(60, 100), std::vector<int32_t>(60, -100)},
    };
    for (const auto& c : cases) {
        MotionCarry carry = {0, 0};
        motion_carry_add(&carry, c.dx, c.dy, c.limit);
        for (size_t i = 0; i < c.xs.size(); i++) {
            int32_t x = 0, y = 0;
            motion_carry_take(&carry, &x, &y);
            EXPECT_EQ(x, c.xs[i]) << c.name << " read " << i;
            EXPECT_EQ(y, c.ys[i]) << c.name << " read " << i;
        }
    }
    EXPECT_EQ(motion_carry_limit(0), 6000);  // unpaced: as at 60
    EXPECT_EQ(motion_carry_limit(20), 6000);
    EXPECT_EQ(motion_carry_limit(144), 14400);
}

TEST(Gamepad, DeflectionIsZeroInsideTheDeadZoneAndStretchedBeyond)
{
    const struct {
        const char* name;
        int raw;
        double dead_zone, deflection;
    } cases[] = {
        {"rest", 0, 0.2, 0.0},
        {"full right", 32767, 0.2, 1.0},
        {"full left, one step further", -32768, 0.2, -1.0},
        {"on the dead zone's edge", 6553, 0.2, 0.0},  // 6553 / 32767 = 0.19999 <= 0.2
        {"just past it", 9830, 0.2, (9830 / 32767.0 - 0.2) / 0.8},
        {"half, no dead zone", 16384, 0.0, 16384 / 32767.0},
        {"a dead zone beyond 0.9 is 0.9", 29490, 1.5, 0.0},
        {"a negative dead zone is none", -3277, -1.0, -3277 / 32767.0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(pad_deflection(c.raw, c.dead_zone), c.deflection) << c.name;
}

TEST(Gamepad, SticksAndTriggersReadAsMouseMotionWithTheirButton)
{
    enum { LX, LY, RX, RY, LT, RT };
    const struct {
        const char* name;
        int16_t axes[PAD_AXES];
        GamepadFeel feel;
        PadMotion first, second;  // two reads in a row
    } cases[] = {
        {"at rest", {0, 0, 0, 0, 0, 0}, {0.2, 1, false}, {false, 0, 0, false, false}, {false, 0, 0, false, false}},
        {"left stick pushes", {32767, -32768, 0, 0, 0, 0}, {0.2, 1, false}, {true, 20, -20, false, false},
         {true, 20, -20, false, false}},
        {"right stick turns with the right button", {0, 0, -32768, 32767, 0, 0}, {0.2, 1, false},
         {true, -20, 20, false, true}, {true, -20, 20, false, true}},
        {"inverted tilt", {0, 0, 0, 32767, 0, 0}, {0.2, 1, true}, {true, 0, -20, false, true},
         {true, 0, -20, false, true}},
        {"right trigger: farther, with the left button", {0, 0, 0, 0, 0, 32767}, {0.2, 1, false},
         {true, 0, 20, true, false}, {true, 0, 20, true, false}},
        {"left trigger: nearer", {0, 0, 0, 0, 32767, 0}, {0.2, 1, false}, {true, 0, -20, true, false},
         {true, 0, -20, true, false}},
        {"right stick wins over the triggers and the left stick", {32767, 0, 32767, 0, 0, 32767}, {0.2, 1, false},
         {true, 20, 0, false, true}, {true, 20, 0, false, true}},
        {"triggers win over the left stick", {32767, 0, 0, 0, 0, 32767}, {0.2, 1, false}, {true, 0, 20, true, false},
         {true, 0, 20, true, false}},
        // (16384 / 32767 - 0.2) / 0.8 * 20 = 7.5004: 7, then 15.0008 - 7 = 8 with the carry.
        {"half way: the fraction carried", {16384, 0, 0, 0, 0, 0}, {0.2, 1, false}, {true, 7, 0, false, false},
         {true, 8, 0, false, false}},
        {"stick speed 2.5", {-32768, 0, 0, 0, 0, 0}, {0.2, 2.5, false}, {true, -50, 0, false, false},
         {true, -50, 0, false, false}},
        {"inside the dead zone", {6000, -6000, 6000, 0, 6000, 0}, {0.2, 1, false}, {false, 0, 0, false, false},
         {false, 0, 0, false, false}},
    };
    for (const auto& c : cases) {
        double carry[2] = {0, 0};
        for (int read = 0; read < 2; read++) {
            PadMotion got = pad_motion(c.axes, &c.feel, carry);
            const PadMotion& want = read == 0 ? c.first : c.second;
            EXPECT_EQ(got.active, want.active) << c.name << " read " << read;
            EXPECT_EQ(got.dx, want.dx) << c.name << " read " << read;
            EXPECT_EQ(got.dy, want.dy) << c.name << " read " << read;
            EXPECT_EQ(got.left, want.left) << c.name << " read " << read;
            EXPECT_EQ(got.right, want.right) << c.name << " read " << read;
        }
    }
}

}  // namespace

namespace {

TEST(PadTestLines, WellFormedLinesOnly)
{
    const struct {
        const char* name;
        const char* line;
        bool ok;
        long read;
        int lx, rt;
        bool a, start, back;
    } cases[] = {
        {"plain", "4 -32768 0 0 0 0 32767 -\n", true, 4, -32768, 32767, false, false, false},
        {"buttons", "0 0 0 0 0 0 0 a,start,back", true, 0, 0, 0, true, true, true},
        {"a stick past its end", "0 32768 0 0 0 0 0 -", false, 0, 0, 0, false, false, false},
        {"a trigger below 0", "0 0 0 0 0 -1 0 -", false, 0, 0, 0, false, false, false},
        {"an unknown button", "0 0 0 0 0 0 0 a,x", false, 0, 0, 0, false, false, false},
        {"an empty name", "0 0 0 0 0 0 0 a,", false, 0, 0, 0, false, false, false},
        {"a field short", "0 0 0 0 0 0 -", false, 0, 0, 0, false, false, false},
        {"a comment", "# 0 0 0 0 0 0 0 -", false, 0, 0, 0, false, false, false},
        {"a negative read", "-1 0 0 0 0 0 0 -", false, 0, 0, 0, false, false, false},
        {"a number with junk", "0 5x 0 0 0 0 0 -", false, 0, 0, 0, false, false, false},
    };
    for (const auto& c : cases) {
        PadTestState state;
        EXPECT_EQ(parse_pad_test_line(c.line, &state), c.ok) << c.name;
        if (!c.ok) continue;
        EXPECT_EQ(state.read, c.read) << c.name;
        EXPECT_EQ(state.axes[PAD_LEFT_X], c.lx) << c.name;
        EXPECT_EQ(state.axes[PAD_TRIGGER_RIGHT], c.rt) << c.name;
        EXPECT_EQ(state.a, c.a) << c.name;
        EXPECT_EQ(state.start, c.start) << c.name;
        EXPECT_EQ(state.back, c.back) << c.name;
    }
}

}  // namespace
