// A level lost and started again: the wanderers start every attempt on the floor, so the
// level stays as dangerous on the third attempt as on the first.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fresh_game.h"
#include "level_files.h"

namespace fs = std::filesystem;

namespace {

// Each present as "banner|caught|ball z|wanderer z".
std::vector<std::string> attempts;

void record_attempt(const uint8_t*, const uint8_t[256][3], int)
{
    char line[160];
    std::snprintf(line, sizeof line, "%s|%d|%.17g|%.17g", overlay_text_count() ? overlay_text(0) : "", level_failed,
                  entities[0].z, entities[1].z);
    attempts.push_back(line);
}

TEST(Restart, CaughtOnTheThirdAttemptWithTheWandererOnTheFloor)
{
    const fs::path old_dir = fs::current_path(),
                   dir = fs::temp_directory_path() / ("maze_restart_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    fresh_game_state();
    script_set_present_hook(record_attempt);
    script_set_message_box_hook(nullptr);

    // The ball and a wanderer on its square: caught in the first frame of every attempt,
    // three times, and Escape in the fourth.
    ASSERT_TRUE(write_test_level("level1.lvx", TestLevel::wanderer));
    ASSERT_TRUE(script_load_text("100 0 0 - -\n200 0 0 - -\n300 0 0 - -\n400 0 0 - 01\n", nullptr, 0));
    EXPECT_EQ(game_main(), 0);
    fs::current_path(old_dir);
    fs::remove_all(dir);

    // Three attempts caught in their first frame, the fourth ended by Escape, then the farewell.
    ASSERT_GE(attempts.size(), 3u);
    const std::string expected[3] = {"WELCOME TO LEVEL 1!|1|0.375|", "OOPS! TRY AGAIN, KIP!|1|0.75|",
                                     "OOPS! TRY AGAIN, KIP!|1|1.125|"};
    for (int n = 0; n < 3; n++) {
        // The ball keeps its height plus 0.375 (it had no time to fall back); the wanderer
        // takes its fresh height at every load.
        EXPECT_EQ(attempts[n], expected[n] + "0.375") << n;
    }
    ASSERT_EQ(attempts.size(), 5u);
    EXPECT_EQ(attempts[4], "LIVE LONG AND PROSPER!|0|1.5|0.375");
}

}  // namespace
