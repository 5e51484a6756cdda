// What the SDL platform keeps between reads: key taps, flicks beyond the per-read clamp,
// and the gamepad turned into mouse reads.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
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
            EXPECT_EQ(std::pair(x, y), std::pair(c.xs[i], c.ys[i])) << c.name << " read " << i;
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

// Each read as "dx,dy" with the button it holds ("L" or "R"), "-" while all are at rest.
std::string pad_reads(const int16_t axes[PAD_AXES], GamepadFeel feel)
{
    double carry[2] = {0, 0};
    std::string reads;
    for (int read = 0; read < 2; read++) {
        PadMotion m = pad_motion(axes, &feel, carry);
        reads += read ? " " : "";
        reads += m.active ? std::to_string(m.dx) + "," + std::to_string(m.dy) : "-";
        reads += std::string(m.left ? "L" : "") + (m.right ? "R" : "");
    }
    return reads;
}

TEST(Gamepad, SticksAndTriggersReadAsMouseMotionWithTheirButton)
{
    const struct {
        const char* name;
        int16_t axes[PAD_AXES];  // left x, y, right x, y, left trigger, right trigger
        GamepadFeel feel;
        const char* reads;  // two in a row
    } cases[] = {
        {"at rest", {0, 0, 0, 0, 0, 0}, {0.2, 1, false}, "- -"},
        {"left stick pushes", {32767, -32768, 0, 0, 0, 0}, {0.2, 1, false}, "20,-20 20,-20"},
        {"right stick turns with the right button", {0, 0, -32768, 32767, 0, 0}, {0.2, 1, false}, "-20,20R -20,20R"},
        {"inverted tilt", {0, 0, 0, 32767, 0, 0}, {0.2, 1, true}, "0,-20R 0,-20R"},
        {"right trigger: farther, with the left button", {0, 0, 0, 0, 0, 32767}, {0.2, 1, false}, "0,20L 0,20L"},
        {"left trigger: nearer", {0, 0, 0, 0, 32767, 0}, {0.2, 1, false}, "0,-20L 0,-20L"},
        {"right stick wins over the triggers and the left stick", {32767, 0, 32767, 0, 0, 32767}, {0.2, 1, false},
         "20,0R 20,0R"},
        {"triggers win over the left stick", {32767, 0, 0, 0, 0, 32767}, {0.2, 1, false}, "0,20L 0,20L"},
        // (16384 / 32767 - 0.2) / 0.8 * 20 = 7.5004: 7, then 15.0008 - 7 = 8 with the carry.
        {"half way: the fraction carried", {16384, 0, 0, 0, 0, 0}, {0.2, 1, false}, "7,0 8,0"},
        {"stick speed 2.5", {-32768, 0, 0, 0, 0, 0}, {0.2, 2.5, false}, "-50,0 -50,0"},
        {"inside the dead zone", {6000, -6000, 6000, 0, 6000, 0}, {0.2, 1, false}, "- -"},
    };
    for (const auto& c : cases) EXPECT_EQ(pad_reads(c.axes, c.feel), c.reads) << c.name;
}

TEST(PadTestLines, WellFormedLinesOnly)
{
    PadTestState state;
    ASSERT_TRUE(parse_pad_test_line("4 -32768 0 0 0 0 32767 -\n", &state));
    EXPECT_EQ(std::tuple(state.read, state.axes[PAD_LEFT_X], state.axes[PAD_TRIGGER_RIGHT]),
              std::tuple(4L, -32768, 32767));
    EXPECT_FALSE(state.a || state.b || state.start || state.back);
    ASSERT_TRUE(parse_pad_test_line("0 0 0 0 0 0 0 a,b,start,back", &state));
    EXPECT_TRUE(state.a && state.b && state.start && state.back);
    const char* refused[] = {
        "0 32768 0 0 0 0 0 -",  // a stick past its end
        "0 0 0 0 0 -1 0 -",     // a trigger below 0
        "0 0 0 0 0 0 0 a,x",    // an unknown button
        "0 0 0 0 0 0 0 a,",     // an empty name
        "0 0 0 0 0 0 -",        // a field short
        "# 0 0 0 0 0 0 0 -",    // a comment
        "-1 0 0 0 0 0 0 -",     // a negative read
        "0 5x 0 0 0 0 0 -",     // a number with junk
    };
    for (const char* line : refused) EXPECT_FALSE(parse_pad_test_line(line, &state)) << line;
}

}  // namespace
