// What the player sees beyond the frame's indices: a closing message alone on the scene,
// and the brightness levels on the palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "fresh_game.h"
#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/brightness.h"
#include "shell/display.h"
#include "shell/font.h"
#include "shell/game.h"
#include "shell/options.h"
#include "sim/random.h"

namespace {

struct Shown {
    std::vector<uint8_t> frame;
    std::string texts;
};
std::vector<Shown> shown;

void keep_present(const uint8_t* frame, const uint8_t[256][3], int)
{
    std::string texts;
    for (int i = 0; i < overlay_text_count(); i++) texts += std::string(i ? "|" : "") + overlay_text(i);
    shown.push_back({std::vector<uint8_t>(frame, frame + SCREEN_PIXELS), texts});
}

// Plays `frames` still frames 17 ms apart from tick 1000 on a shipped level, the last with
// Escape held; the level starts at `start_tick`.
void play(int level, uint32_t start_tick, int frames, bool solid)
{
    std::string script = "ticks " + std::to_string(start_tick) + "\ncalendar 1000000001\n";
    for (int n = 0; n < frames; n++)
        script += std::to_string(1000 + 17 * n) + " 0 0 - " + (n == frames - 1 ? "01" : "-") + " cal=1000000001\n";
    fresh_game_state();
    seed_random(1);  // as at program start: the wanderers' draws are the same in each run
    shown.clear();
    script_set_present_hook(keep_present);
    reset_options();
    game_options.levels_dir = LEVELS_DIR;
    game_options.first_level = level;
    game_options.solid = solid;
    ASSERT_TRUE(script_load_text(script.c_str(), nullptr, 0));
    ASSERT_EQ(game_main(), 0);
    reset_options();
}

// Escape during the banner: the farewell is drawn on the scene the last frame showed,
// without the banner beneath it. The scene comes from the same run with the level
// started so long ago (the tick wraps) that no banner is drawn; the calendar, which
// seeds the wanderers, is the same in both.
TEST(ClosingMessage, StandsAloneOnTheScene)
{
    const struct {
        const char* name;
        int level;
        bool solid;
    } cases[] = {{"level 1, outlines", 1, false}, {"level 3, solid", 3, true}};
    for (const auto& c : cases) {
        play(c.level, 4294960000u, 10, c.solid);
        ASSERT_EQ(shown.size(), 11u) << c.name;
        EXPECT_EQ(shown[9].texts, "") << c.name;
        std::vector<uint8_t> expected = shown[9].frame;
        play(c.level, 900, 10, c.solid);
        ASSERT_EQ(shown.size(), 11u) << c.name;
        EXPECT_EQ(shown[9].texts, "WELCOME TO LEVEL " + std::to_string(c.level) + "!") << c.name;
        EXPECT_EQ(shown[10].texts, "LIVE LONG AND PROSPER!") << c.name;
        draw_font_text(expected.data(), "LIVE LONG AND PROSPER!", 210, 235,
                       static_cast<uint8_t>(nearest_palette_index(255, 255, 0)));
        EXPECT_TRUE(shown[10].frame == expected) << c.name;
    }
}

TEST(Brightness, ChannelsFollowTheCurveWithEndsFixed)
{
    const struct {
        int value;
        uint8_t levels[BRIGHTNESS_LEVELS];
    } cases[] = {
        {0, {0, 0, 0, 0, 0}},           {1, {1, 4, 8, 16, 28}},         {7, {7, 16, 27, 42, 61}},
        {64, {64, 88, 107, 128, 147}},  {128, {128, 150, 166, 181, 194}}, {254, {254, 254, 254, 254, 255}},
        {255, {255, 255, 255, 255, 255}},
    };
    for (const auto& c : cases)
        for (int level = 0; level < BRIGHTNESS_LEVELS; level++)
            EXPECT_EQ(brighten_channel(static_cast<uint8_t>(c.value), level), c.levels[level])
                << c.value << " at " << level;
    for (int value = 0; value < 256; value++) {
        EXPECT_EQ(brighten_channel(static_cast<uint8_t>(value), 0), value);   // level 0: as it is
        EXPECT_EQ(brighten_channel(static_cast<uint8_t>(value), -1), value);  // clamped up to 0
        EXPECT_EQ(brighten_channel(static_cast<uint8_t>(value), 9), brighten_channel(static_cast<uint8_t>(value), 4));
    }
}

// The brightest level at least doubles the mean brightness of the solid frames of each
// shipped level's winning script, and every level is brighter than the one before.
uint64_t index_counts[256];

void count_solid_frame(const uint8_t* frame, const uint8_t[256][3], int)
{
    if (!(debug_flags & DEBUG_SOLID)) return;
    for (int i = 0; i < SCREEN_PIXELS; i++) index_counts[frame[i]]++;
}

TEST(Brightness, TheBrightestLevelDoublesTheShippedSolidFrames)
{
    for (int level = 1; level <= 4; level++) {
        fresh_game_state();
        seed_random(1);
        std::fill(std::begin(index_counts), std::end(index_counts), 0);
        script_set_present_hook(count_solid_frame);
        reset_options();
        std::string file = std::string(LEVELS_DIR) + "/level" + std::to_string(level) + ".lvx";
        game_options.play_file = file.c_str();
        std::string script = std::string(LEVELS_SOURCE) + "/level" + std::to_string(level) + "/win.script";
        ASSERT_TRUE(script_load_file(script.c_str(), nullptr, 0)) << script;
        ASSERT_EQ(game_main(), 0);
        reset_options();
        double means[BRIGHTNESS_LEVELS] = {};
        for (int b = 0; b < BRIGHTNESS_LEVELS; b++) {
            double sum = 0, pixels = 0;
            for (int index = 0; index < 256; index++) {
                pixels += static_cast<double>(index_counts[index]);
                for (int channel = 0; channel < 3; channel++)
                    sum += static_cast<double>(index_counts[index]) * brighten_channel(palette[index][channel], b);
            }
            ASSERT_GT(pixels, 0) << "level " << level << ": no solid frame";
            means[b] = sum / (3.0 * pixels);
            if (b > 0) {
                EXPECT_GT(means[b], means[b - 1]) << "level " << level << " brightness " << b;
            }
        }
        EXPECT_GE(means[4], 2 * means[0]) << "level " << level << ": " << means[0] << " to " << means[4];
    }
}

}  // namespace
