// Pause in whole scripted runs (the world stands still, no jump after it, Escape still
// ends the game), and the level options through mazereplay.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fresh_game.h"
#include "level_files.h"
#include "shell/options.h"
#include "world/camera.h"

namespace fs = std::filesystem;

namespace {

// One present as the tests compare it: the world (entities and camera, exactly), the
// texts, the frame's bytes, and the wanderers' shared countdown.
struct Present { uint32_t tick; std::string world, texts; size_t frame_hash; int32_t countdown; };
std::vector<Present> presents;
// Called after each present with its number, for focus changes in the middle of a run.
std::function<void(size_t)> after_present;

void record_present(const uint8_t* frame, const uint8_t[256][3], int)
{
    std::ostringstream world;
    world.precision(17);
    for (int slot = 0; slot < entity_count; slot++) {
        const Entity& e = entities[slot];
        world << e.x << ',' << e.y << ',' << e.z << ',' << e.vx << ',' << e.vy << ',' << e.vz << ',' << e.heading << ','
              << e.drive_fwd << ',' << e.drive_side << ',' << e.drive_up << ';';
    }
    world << camera_focus_x << ',' << camera_focus_y << ',' << camera_distance << ',' << camera_pitch << ',' << camera_yaw;
    std::string texts;
    for (int i = 0; i < overlay_text_count(); i++) texts += std::string(i ? "|" : "") + overlay_text(i);
    std::string_view bytes(reinterpret_cast<const char*>(frame), SCREEN_PIXELS);
    presents.push_back({script_last_tick(), world.str(), texts, std::hash<std::string_view>{}(bytes), wander_countdown});
    if (after_present) after_present(presents.size() - 1);
}

const std::string paused_texts = "PAUSED|PRESS P OR A MOUSE BUTTON TO PLAY ON";

struct Line { uint32_t tick; int dx, dy; std::string buttons, keys; };  // a script line

// Still frames 17 ms apart from tick 1000: per frame a button ('-', 'L' or 'R') and a key ('P' or '-').
std::vector<Line> still(const std::string& buttons, const std::string& keys)
{
    std::vector<Line> lines;
    for (size_t n = 0; n < buttons.size(); n++)
        lines.push_back({1000 + 17u * static_cast<uint32_t>(n), 0, 0, buttons.substr(n, 1), keys[n] == 'P' ? "19" : "-"});
    return lines;
}

class Pause : public ::testing::Test {
protected:
    fs::path old_dir = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("maze_pause_" + std::to_string(getpid()) + "_" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override { fs::create_directories(dir); fs::current_path(dir); }
    void TearDown() override { fs::current_path(old_dir); fs::remove_all(dir); reset_options(); after_present = nullptr; }
    // Plays the script on the shipped level given (from the build), as from program start.
    int play(const std::vector<Line>& lines, int level)
    {
        std::ostringstream script;
        for (const Line& l : lines)
            script << l.tick << ' ' << l.dx << ' ' << l.dy << ' ' << l.buttons << ' ' << l.keys << '\n';
        fresh_game_state();
        presents.clear();
        script_set_present_hook(record_present);
        reset_options();
        game_options.levels_dir = LEVELS_DIR;
        game_options.first_level = level;
        EXPECT_TRUE(script_load_text(script.str().c_str(), nullptr, 0));
        return game_main();
    }
    std::string read(const char* name) { return {std::istreambuf_iterator<char>(std::ifstream(name).rdbuf()), {}}; }
};

// A pause of ten frames in the middle of a run: afterwards every frame, its picture
// included, is the frame the run without the pause shows, 170 ms later. The banner's
// 3000 ms end after the pause too, as many frames in as without it.
TEST_F(Pause, APausedRunPlaysOnAsIfThePauseNeverHappened)
{
    std::vector<Line> plain;  // from tick 2500, so the banner goes out at frame 30, after the pause
    for (int n = 0; n < 60; n++) plain.push_back({2500 + 17u * static_cast<uint32_t>(n), n % 5 - 1, n % 3 - 2, "-", "-"});
    ASSERT_EQ(play(plain, 1), 0);
    std::vector<Present> without = presents;

    std::vector<Line> paused(plain.begin(), plain.begin() + 20);
    for (uint32_t j = 0; j < 10; j++)  // P pressed at once, released, pressed again; the mouse moves meanwhile
        paused.push_back({plain[20].tick + 17 * j, 9, -9, "-", j == 0 || j == 9 ? "19" : "-"});
    for (size_t n = 20; n < plain.size(); n++) paused.push_back({plain[n].tick + 170, plain[n].dx, plain[n].dy, "-", "-"});
    ASSERT_EQ(play(paused, 1), 0);

    ASSERT_EQ(presents.size(), without.size() + 10);
    for (size_t n = 0; n < 20; n++) EXPECT_EQ(presents[n].frame_hash, without[n].frame_hash) << n;
    for (size_t n = 20; n < 30; n++)
        EXPECT_TRUE(presents[n].texts == paused_texts && presents[n].world == without[19].world) << n;
    EXPECT_EQ(presents[20].frame_hash, presents[29].frame_hash);
    for (size_t n = 30; n < presents.size() - 1; n++) {
        const Present &a = presents[n], &b = without[n - 10];
        EXPECT_TRUE(a.tick == b.tick + 170 && a.world == b.world && a.texts == b.texts && a.frame_hash == b.frame_hash) << n;
    }
    EXPECT_EQ(without[29].texts, "WELCOME TO LEVEL 1!");
    EXPECT_EQ(without[30].texts, "");
}

// Level 3's wanderers: across paused frames none moves and their countdown stands still.
TEST_F(Pause, WanderersStandStillWhilePaused)
{
    ASSERT_EQ(play(still(std::string(60, '-'), std::string(10, '-') + "P" + std::string(49, '-')), 3), 0);
    ASSERT_EQ(presents.size(), 61u + 1u);  // 60 lines, the Escape frame, the farewell
    EXPECT_NE(presents[0].world, presents[9].world);  // they do move when not paused
    EXPECT_NE(presents[0].countdown, presents[9].countdown);
    for (size_t n = 10; n < 60; n++) {
        const Present& p = presents[n];
        EXPECT_TRUE(p.world == presents[9].world && p.countdown == presents[9].countdown && p.texts == paused_texts) << n;
    }
    // The script's end holds Escape: it ends the paused game with the farewell.
    EXPECT_EQ(presents.back().texts, "LIVE LONG AND PROSPER!");
}

// Which frames are paused, by what each frame reads: '.' plays, 'p' paused.
TEST_F(Pause, WhatPausesAndWhatPlaysOn)
{
    // Buttons and keys per frame; focus lost and back after these presents (-1 never).
    const struct { const char* name; std::string buttons, keys; int focus_lost_after, focus_back_after; const char* expected; }
        cases[] = {
        {"P pauses when pressed, not while held; P again plays on from the next frame, held or not",
         "--------", "-PP-PP-P", -1, -1, ".pppp..p"},
        {"a button held when P pauses does not play on; one pressed afterwards does", "RRR-LL", "-P----", -1, -1, ".pppp."},
        {"focus lost: paused until focus is back and a button is pressed", "------LL-", "---------", 1, 4, "..ppppp.."},
        {"focus lost and back: P plays on as well", "------", "----P-", 0, 2, ".pppp."},
        {"a button held as focus comes back counts as pressed (the click that brings it back)", "--RRR", "-----", 0, 1,
         ".ppp."},
    };
    for (const auto& c : cases) {
        after_present = [&c](size_t present) {
            if (static_cast<int>(present) == c.focus_lost_after) script_set_focus(false);
            if (static_cast<int>(present) == c.focus_back_after) script_set_focus(true);
        };
        play(still(c.buttons, c.keys), 1);
        std::string seen;
        for (size_t n = 0; n < c.buttons.size() && n < presents.size(); n++)
            seen += presents[n].texts == paused_texts ? 'p' : '.';
        EXPECT_EQ(seen, c.expected) << c.name;
    }
}

// The level options through mazereplay: which files are asked for, and how a --play
// level ends.
TEST_F(Pause, ReplayTakesTheLevelOptions)
{
    fs::create_directories("sub");
    for (auto [name, kind] : {std::pair{"sub/level2.lvx", TestLevel::goal}, {"sub/level3.lvx", TestLevel::plain},
                              {"won.lvx", TestLevel::goal}, {"lost.lvx", TestLevel::wanderer}})
        ASSERT_TRUE(write_test_level(name, kind));
    std::ofstream("two.txt") << "100 0 0 - -\n200 0 0 - -\n";
    std::ofstream("one.txt") << "100 0 0 - -\n";
    auto replay = [](const std::string& arguments) {
        int status = std::system(("'" MAZEREPLAY "' " + arguments + " >stdout.txt 2>stderr.txt").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const struct { const char* arguments; int exit; std::vector<std::string> found; } cases[] = {  // found in this order
        // Level 2 from sub/ is won, level 3 is ended by the script's Escape.
        {"two.txt --levels sub --level 2", 0,
         {R"("level":2,)", R"("texts":["WELCOME TO LEVEL 2!"])", R"("level":3,)", R"("texts":["WELCOME TO LEVEL 3!"])",
          R"("texts":["LIVE LONG AND PROSPER!"],)", R"({"exit":0,"frames":4})"}},
        // No level1.lvx in sub/: the usual failure.
        {"one.txt --levels sub", 1, {R"("text":"Failed to load leveldata")", R"({"exit":1,"frames":0})"}},
        // A won --play level ends the game with the congratulation.
        {"one.txt --play won.lvx", 0,
         {R"("texts":["WELCOME TO LEVEL 1!"])", R"("texts":["CONGRATULATIONS! YOU DID IT!"])", R"({"exit":0,"frames":2})"}},
        // A lost one is loaded again (and lost again), until Escape.
        {"two.txt --play lost.lvx", 0,
         {R"("level_failed":1)", R"("texts":["OOPS! TRY AGAIN, KIP!"])", R"("level_failed":1)", R"({"exit":0,"frames":3})"}},
        {"one.txt --play missing.lvx", 1, {R"("text":"Failed to load leveldata")"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replay(std::string(c.arguments) + " --trace t.jsonl"), c.exit) << c.arguments << read("stderr.txt");
        std::string trace = read("t.jsonl");
        size_t at = 0;
        for (const std::string& f : c.found) {
            at = trace.find(f, at);
            ASSERT_NE(at, std::string::npos) << c.arguments << ": no " << f << " in\n" << trace;
            at += f.size();
        }
    }
}

}  // namespace
