// The whole game in-process on the scripted platform, with level files written into a
// temporary working directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "level_files.h"
#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/input.h"
#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/wanderers.h"
#include "world/world.h"

namespace {

struct Present {
    int frame;      // frames begun when it was presented, minus one
    int32_t level;
    uint32_t tick;
    uint16_t flags;
    bool closing;
    int result;
    std::vector<std::string> texts;
};

std::vector<Present> presents;
std::vector<std::string> box_log;  // "caption|text", with the release counts at that moment
void (*extra_hook)(int flip_number);

void record_present(const uint8_t*, const uint8_t[256][3], int result)
{
    Present p{script_frames_begun() - 1, level_number, script_last_tick(), debug_flags, closing_message_active,
              result, {}};
    for (int i = 0; i < overlay_text_count(); i++) p.texts.push_back(overlay_text(i));
    presents.push_back(p);
    if (extra_hook) extra_hook(static_cast<int>(presents.size()));
}

void record_box(const char* text, const char* caption, int)
{
    box_log.push_back(std::string(caption) + "|" + text + "|released " +
                      std::to_string(script_calls(SCRIPT_OP_RELEASE_DISPLAY)) + "," +
                      std::to_string(script_calls(SCRIPT_OP_UNACQUIRE_KEYBOARD)));
}

bool has_text(const Present& p, const char* text)
{
    for (const std::string& t : p.texts)
        if (t == text) return true;
    return false;
}

const char* const start_box = "hold 'yer hourses!|Press ok to start the program|released 0,0";

class Game : public ::testing::Test {
protected:
    std::filesystem::path old_dir;
    std::filesystem::path dir;

    void SetUp() override
    {
        old_dir = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("maze_e2e_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        script_reset();
        shutdown_display();
        presents.clear();
        box_log.clear();
        extra_hook = nullptr;
        script_set_present_hook(record_present);
        script_set_message_box_hook(record_box);
        // A fresh world and fresh switches, as at program start.
        std::memset(entities, 0, sizeof entities);
        std::memset(key_state, 0, sizeof key_state);
        debug_flags = 0;
        function_key_latch = 0;
        level_done = 0;
        level_failed = 0;
        motion_tick = 0;
        force_tick = 0;
        wander_countdown = 60;
        first_collision_pass = 1;
    }
    void TearDown() override
    {
        std::filesystem::current_path(old_dir);
        std::filesystem::remove_all(dir);
    }
    void levels(std::initializer_list<TestLevel> kinds)
    {
        int n = 1;
        for (TestLevel kind : kinds) {
            std::string name = "level" + std::to_string(n++) + ".lvx";
            ASSERT_TRUE(write_test_level(name.c_str(), kind));
        }
    }
    void script(const char* text) { ASSERT_TRUE(script_load_text(text, nullptr, 0)); }
};

TEST_F(Game, MissingLevelEndsAfterReleasingDisplayAndInput)
{
    EXPECT_EQ(game_main(), 0);
    std::vector<std::string> expected = {start_box, "Fatal Error|Failed to load leveldata|released 1,1"};
    EXPECT_EQ(box_log, expected);
    EXPECT_EQ(script_message_box_icon(1), PLATFORM_ICON_ERROR);
    EXPECT_EQ(script_message_box_icon(0), PLATFORM_ICON_NONE);
    EXPECT_EQ(script_frames_begun(), 0);
}

TEST_F(Game, StartUpFailuresEndWithTheirMessages)
{
    struct Case {
        ScriptOp failing;
        std::vector<std::string> boxes;
    } cases[] = {
        {SCRIPT_OP_REGISTER_WINDOW_CLASS,
         {start_box, "Fatal Error|The window class could not be registered.|released 0,0",
          "Fatal Error|Failed to initialize DirectDraw. Quitting|released 0,0"}},
        {SCRIPT_OP_CREATE_WINDOW,
         {start_box, "Fatal Error|The window could not be created.|released 0,0",
          "Fatal Error|Failed to initialize DirectDraw. Quitting|released 0,0"}},
        {SCRIPT_OP_CREATE_DISPLAY,
         {start_box, "Fatal Error|The DirectDraw object could not be created.|released 0,0",
          "Fatal Error|Failed to initialize DirectDraw. Quitting|released 0,0"}},
        {SCRIPT_OP_SET_EXCLUSIVE,
         {start_box, "Fatal Error|Could not get exclusive mode.|released 0,0",
          "Fatal Error|Failed to initialize DirectDraw. Quitting|released 1,0"}},
        {SCRIPT_OP_SET_DISPLAY_MODE,
         {start_box, "Fatal Error|Could not change video mode.|released 0,0",
          "Fatal Error|Failed to initialize DirectDraw. Quitting|released 1,0"}},
        {SCRIPT_OP_CREATE_PRIMARY_SURFACE,
         {start_box, "Fatal Error|Failed to initialize DirectDraw. Quitting|released 1,0"}},
        {SCRIPT_OP_SET_PALETTE, {start_box, "Fatal Error|Failed to initialize DirectDraw. Quitting|released 1,0"}},
        {SCRIPT_OP_ACQUIRE_KEYBOARD,
         {start_box, "Fatal Error|Failed to initialize DirectInput. Quitting|released 0,0"}},
    };
    levels({TestLevel::plain});
    for (const Case& c : cases) {
        script_reset();
        script_set_message_box_hook(record_box);
        box_log.clear();
        script_fail(c.failing, 1);
        EXPECT_EQ(game_main(), 0);
        EXPECT_EQ(box_log, c.boxes) << c.failing;
        EXPECT_EQ(script_frames_begun(), 0) << c.failing;
    }
}

TEST_F(Game, EscapeInLevelTwoSaysFarewellAndLoadsNoMore)
{
    levels({TestLevel::goal, TestLevel::plain});  // no level3.lvx: it must not be needed
    script("100 0 0 - -\n200 0 0 - -\n300 0 0 - 01\n");
    EXPECT_EQ(game_main(), 0);
    EXPECT_EQ(box_log, std::vector<std::string>{start_box});
    ASSERT_EQ(presents.size(), 4u);
    EXPECT_EQ(presents[0].level, 1);
    EXPECT_EQ(presents[1].level, 2);
    EXPECT_TRUE(has_text(presents[1], "WELCOME TO LEVEL 2!"));
    const Present& farewell = presents[3];
    EXPECT_TRUE(farewell.closing);
    EXPECT_EQ(farewell.level, 3);
    EXPECT_EQ(farewell.texts, std::vector<std::string>{"LIVE LONG AND PROSPER!"});
    // Held until the tick difference exceeds 3000: the wait starts one read after the
    // present and ends at the first read 3001 later.
    EXPECT_EQ(script_last_tick(), 300u + 1 + 3001);
    EXPECT_EQ(level_number, 3);
    EXPECT_EQ(script_calls(SCRIPT_OP_RELEASE_DISPLAY), 1);
    EXPECT_EQ(script_calls(SCRIPT_OP_UNACQUIRE_KEYBOARD), 1);
}

TEST_F(Game, FailureWithEscapeInTheSameFrameEndsWithoutMessage)
{
    levels({TestLevel::wanderer});
    script("100 0 0 - 01\n");
    EXPECT_EQ(game_main(), 0);
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_FALSE(presents[0].closing);
    EXPECT_EQ(level_number, 1);
    EXPECT_EQ(box_log, std::vector<std::string>{start_box});
}

TEST_F(Game, WinningAllFourCongratulatesAndSwitchesSurviveLevels)
{
    levels({TestLevel::goal, TestLevel::goal, TestLevel::goal, TestLevel::goal});
    // F8 held through level 1, released in level 2: the frame-rate switch then stays on.
    script("100 0 0 - 42\n200 0 0 - -\n300 0 0 - -\n400 0 0 - -\n");
    EXPECT_EQ(game_main(), 0);
    ASSERT_EQ(presents.size(), 5u);
    const uint16_t flags[4] = {0, DEBUG_FPS, DEBUG_FPS, DEBUG_FPS};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(presents[i].level, i + 1);
        EXPECT_EQ(presents[i].flags, flags[i]) << i;
        EXPECT_EQ(presents[i].texts.size(), i == 0 ? 1u : 2u) << i;
    }
    EXPECT_TRUE(presents[1].texts[0].ends_with(" fps")) << presents[1].texts[0];
    EXPECT_TRUE(presents[4].closing);
    EXPECT_EQ(presents[4].level, 5);
    EXPECT_EQ(presents[4].texts, std::vector<std::string>{"CONGRATULATIONS! YOU DID IT!"});
    EXPECT_EQ(level_number, 5);
    EXPECT_EQ(box_log, std::vector<std::string>{start_box});  // no fifth level file asked for
}

void swap_in_goal_level(int flip)
{
    if (flip == 1) write_test_level("level1.lvx", TestLevel::goal);
}

TEST_F(Game, FailureReloadsTheLevelFromDiskWithTheOopsBanner)
{
    levels({TestLevel::wanderer});
    extra_hook = swap_in_goal_level;  // after the loss, level1.lvx becomes a won level
    script("100 0 0 - -\n200 0 0 - -\n");
    EXPECT_EQ(game_main(), 0);
    ASSERT_EQ(presents.size(), 2u);
    EXPECT_EQ(presents[0].texts, std::vector<std::string>{"WELCOME TO LEVEL 1!"});
    EXPECT_EQ(presents[1].level, 1);
    EXPECT_EQ(presents[1].texts, std::vector<std::string>{"OOPS! TRY AGAIN, KIP!"});
    // Level 1 was won on reload; level 2 has no file.
    EXPECT_EQ(box_log.back(), "Fatal Error|Failed to load leveldata|released 1,1");
}

TEST_F(Game, BannerShowsUpTo3000MillisecondsAlsoAcrossATickWrap)
{
    levels({TestLevel::plain});
    script("3001 0 0 - -\n3002 0 0 - -\n");  // the level starts at tick 1, the run's first read
    EXPECT_EQ(game_main(), 0);
    ASSERT_GE(presents.size(), 2u);
    EXPECT_EQ(presents[0].texts, std::vector<std::string>{"WELCOME TO LEVEL 1!"});
    EXPECT_TRUE(presents[1].texts.empty());

    // Level 2 starts one read after the winning frame: at 2^32 - 1295.
    levels({TestLevel::goal, TestLevel::plain});
    script_reset();
    script_set_present_hook(record_present);
    presents.clear();
    script("4294966000 0 0 - -\n100 0 0 - -\n1705 0 0 - -\n1706 0 0 - -\n");
    EXPECT_EQ(game_main(), 0);
    ASSERT_GE(presents.size(), 4u);
    EXPECT_EQ(presents[1].texts, std::vector<std::string>{"WELCOME TO LEVEL 2!"});
    EXPECT_EQ(presents[2].texts, std::vector<std::string>{"WELCOME TO LEVEL 2!"});  // 3000 across the wrap
    EXPECT_TRUE(presents[3].texts.empty());                                        // 3001
}

TEST_F(Game, SolidSwitchTogglesOnceOnRelease)
{
    levels({TestLevel::plain});
    script("10 0 0 - 3E\n20 0 0 - 3E\n30 0 0 - 3E\n40 0 0 - -\n50 0 0 - -\n60 0 0 - 3E,42\n70 0 0 - -\n");
    EXPECT_EQ(game_main(), 0);
    const uint16_t flags[7] = {0, 0, 0, DEBUG_SOLID, DEBUG_SOLID, DEBUG_SOLID, DEBUG_FPS};
    ASSERT_GE(presents.size(), 7u);
    for (int i = 0; i < 7; i++) EXPECT_EQ(presents[i].flags, flags[i]) << i;
}

TEST_F(Game, LostSurfaceIsRestoredAndPlayGoesOn)
{
    levels({TestLevel::plain});
    script("10 0 0 - -\n20 0 0 - -\n30 0 0 - 01\n");
    script_fail(SCRIPT_OP_FLIP, 1);
    EXPECT_EQ(game_main(), 0);
    EXPECT_EQ(script_calls(SCRIPT_OP_RESTORE), 1);
    ASSERT_EQ(presents.size(), 4u);  // three frames and the farewell
    EXPECT_EQ(presents[0].result, PLATFORM_FLIP_LOST);
    EXPECT_EQ(presents[1].result, PLATFORM_FLIP_SHOWN);
    EXPECT_EQ(script_presents(), 3);
}

bool runaway;
void lose_focus_for_a_while(int flip)
{
    if (flip == 3) script_set_focus(false);
    if (flip == 5) script_set_focus(true);
    if (flip > 200 && !runaway) {  // never acquired again: rescue the run, fail the test
        runaway = true;
        platform_acquire_keyboard();
    }
}

TEST_F(Game, DevicesAreAcquiredAgainWhenFocusReturns)
{
    levels({TestLevel::plain});
    runaway = false;
    extra_hook = lose_focus_for_a_while;
    // Escape held while the focus is away is not seen; after the focus returns it is.
    script("10 0 0 - -\n20 0 0 - -\n30 0 0 - -\n40 0 0 - 01\n50 0 0 - 01\n60 0 0 - -\n70 0 0 - 01\n");
    EXPECT_EQ(game_main(), 0);
    EXPECT_FALSE(runaway);
    EXPECT_EQ(script_frames_begun(), 7);
    ASSERT_EQ(presents.size(), 8u);
    EXPECT_TRUE(presents[7].closing);
    EXPECT_EQ(presents[7].texts, std::vector<std::string>{"LIVE LONG AND PROSPER!"});
}

TEST_F(Game, PrintScreenSavesTheNextFreeNumberOnRelease)
{
    levels({TestLevel::plain});
    std::FILE* taken = std::fopen("maze_0000.png", "wb");
    ASSERT_NE(taken, nullptr);
    std::fclose(taken);
    script("10 0 0 - B7\n20 0 0 - B7\n30 0 0 - -\n40 0 0 - -\n");
    EXPECT_EQ(game_main(), 0);
    EXPECT_EQ(std::filesystem::file_size("maze_0000.png"), 0u);
    ASSERT_TRUE(std::filesystem::exists("maze_0001.png"));
    EXPECT_FALSE(std::filesystem::exists("maze_0002.png"));
    std::FILE* png = std::fopen("maze_0001.png", "rb");
    unsigned char header[8] = {};
    ASSERT_EQ(std::fread(header, 1, 8, png), 8u);
    std::fclose(png);
    EXPECT_EQ(std::memcmp(header, "\x89PNG\r\n\x1a\n", 8), 0);
}

}  // namespace
