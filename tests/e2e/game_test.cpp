// Whole games in this process on the scripted platform: start-up failures and what is
// released after them, levels won, lost and started again, pause, the closing message
// alone on the scene; and the brightness curve (that its brightest level at least doubles
// the real game's screenshots is seen under a virtual X display, xvfb_input.sh).
#include <cstring>
#include <functional>
#include <sstream>

#include "e2e.h"
#include "platform/script/script_platform.h"
#include "render/frame.h"
#include "render/palette.h"
#include "shell/brightness.h"
#include "shell/display.h"
#include "shell/font.h"
#include "shell/game.h"
#include "shell/input.h"
#include "shell/options.h"
#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/random.h"
#include "sim/wanderers.h"
#include "world/camera.h"
#include "world/world.h"

namespace {

// One present: its tick, the overlay texts split by '|', the world exactly (every entity,
// the camera, the wanderers' shared countdown), the frame, and that countdown alone.
struct Present {
    uint32_t tick;
    std::string texts, world;
    std::vector<uint8_t> frame;
    int32_t countdown;
};
std::vector<Present> presents;
// Each message box as "caption|text|icon|" and the display and keyboard releases made by
// then; the run's end as "end|releases|last tick read".
std::vector<std::string> boxes;
std::function<void(size_t)> after_present;  // called with each present's number, the game's state as it was

std::string releases()
{
    return std::to_string(script_calls(SCRIPT_OP_RELEASE_DISPLAY)) +
           std::to_string(script_calls(SCRIPT_OP_UNACQUIRE_KEYBOARD));
}

void record_present(const uint8_t* frame, const uint8_t[256][3], int)
{
    std::ostringstream world;
    world.precision(17);
    for (int slot = 0; slot < entity_count; slot++) {
        const Entity& e = entities[slot];
        world << e.x << ',' << e.y << ',' << e.z << ',' << e.vx << ',' << e.vy << ',' << e.vz << ',' << e.heading << ','
              << e.drive_fwd << ',' << e.drive_side << ',' << e.drive_up << ';';
    }
    world << camera_focus_x << ',' << camera_focus_y << ',' << camera_distance << ',' << camera_pitch << ','
          << camera_yaw << ';' << wander_countdown;
    std::string texts;
    for (int i = 0; i < overlay_text_count(); i++) texts += std::string(i ? "|" : "") + overlay_text(i);
    presents.push_back(
        {script_last_tick(), texts, world.str(), std::vector<uint8_t>(frame, frame + SCREEN_PIXELS), wander_countdown});
    if (after_present) after_present(presents.size() - 1);
}

void record_box(const char* text, const char* caption, int icon)
{
    boxes.push_back(std::string(caption) + "|" + text + "|" + std::to_string(icon) + "|" + releases());
}

// Each test sets the options and after_present it needs; they are reset after it.
class Game : public InFreshDir {
protected:
    void TearDown() override
    {
        reset_options();
        after_present = nullptr;
        InFreshDir::TearDown();
    }
    // Plays the script with the options set, as from program start; `failing` fails once.
    static int play(const std::string& script, ScriptOp failing = SCRIPT_OP_COUNT)
    {
        script_reset();
        shutdown_display();
        std::memset(entities, 0, sizeof entities);
        std::memset(key_state, 0, sizeof key_state);
        debug_flags = function_key_latch = 0;
        level_done = level_failed = 0;
        motion_tick = force_tick = 0;
        wander_countdown = 60;
        first_collision_pass = 1;
        seed_random(1);
        presents.clear();
        boxes.clear();
        script_set_present_hook(record_present);
        script_set_message_box_hook(record_box);
        EXPECT_TRUE(script_load_text(script.c_str(), nullptr, 0));
        if (failing != SCRIPT_OP_COUNT) script_fail(failing, 1);
        int status = game_main();
        boxes.push_back("end|" + releases() + "|" + std::to_string(script_last_tick()));
        return status;
    }
    // The shipped levels from the build, from `level` on.
    static void shipped(int level, bool solid = false)
    {
        game_options.levels_dir = LEVELS_DIR;
        game_options.first_level = level;
        game_options.solid = solid;
    }
};

// A failing start-up step and what is released after its message; whole runs on level
// files written here: levels won, lost, missing, and Escape.
TEST_F(Game, RunsFromStartUpToTheirEnd)
{
    using enum TestLevel;
    const std::string quits = "Fatal Error|Failed to initialize DirectDraw. Quitting|1|", end = "end|10|0";
    struct Case {
        const char* name;
        ScriptOp failing = SCRIPT_OP_COUNT;  // SCRIPT_OP_COUNT: nothing fails
        std::vector<TestLevel> levels = {};
        const char* script = "";
        std::vector<std::string> presents = {}, boxes = {};  // boxes after the start-up box, and the end
    } cases[] = {
        {.name = "missing level1.lvx", .boxes = {"Fatal Error|Failed to load leveldata|1|11", "end|11|0"}},
        {.name = "class", .failing = SCRIPT_OP_REGISTER_WINDOW_CLASS,
         .boxes = {"Fatal Error|The window class could not be registered.|1|00", quits + "00", "end|00|0"}},
        {.name = "window", .failing = SCRIPT_OP_CREATE_WINDOW,
         .boxes = {"Fatal Error|The window could not be created.|1|00", quits + "00", "end|00|0"}},
        {.name = "display", .failing = SCRIPT_OP_CREATE_DISPLAY,
         .boxes = {"Fatal Error|The DirectDraw object could not be created.|1|00", quits + "00", "end|00|0"}},
        {.name = "exclusive", .failing = SCRIPT_OP_SET_EXCLUSIVE,
         .boxes = {"Fatal Error|Could not get exclusive mode.|1|00", quits + "10", end}},
        {.name = "mode", .failing = SCRIPT_OP_SET_DISPLAY_MODE,
         .boxes = {"Fatal Error|Could not change video mode.|1|00", quits + "10", end}},
        {.name = "surface", .failing = SCRIPT_OP_CREATE_PRIMARY_SURFACE, .boxes = {quits + "10", end}},
        {.name = "back buffer", .failing = SCRIPT_OP_GET_BACK_BUFFER, .boxes = {quits + "10", end}},
        {.name = "palette", .failing = SCRIPT_OP_SET_PALETTE, .boxes = {quits + "10", end}},
        // The screen is given back once the message has been read.
        {.name = "input", .failing = SCRIPT_OP_ACQUIRE_KEYBOARD,
         .boxes = {"Fatal Error|Failed to initialize DirectInput. Quitting|1|00", end}},
        {.name = "failure and Escape together", .levels = {wanderer}, .script = "100 0 0 - 01\n",
         .presents = {"1 0 [WELCOME TO LEVEL 1!]"}, .boxes = {"end|11|100"}},
        // F8 held through level 1, released in level 2: the frame rate stays on; no level5.lvx.
        {.name = "four won", .levels = {goal, goal, goal, goal},
         .script = "100 0 0 - 42\n200 0 0 - -\n300 0 0 - -\n400 0 0 - -\n",
         .presents = {"1 0 [WELCOME TO LEVEL 1!]", "2 256 [fps] [WELCOME TO LEVEL 2!]", "3 256 [fps] [WELCOME TO LEVEL 3!]",
                      "4 256 [fps] [WELCOME TO LEVEL 4!]", "5 256 [CONGRATULATIONS! YOU DID IT!] closing"},
         .boxes = {"end|11|3402"}},
        // Level 1 is lost, read again from disk (by then a won level); level 2 has no file.
        {.name = "reload", .levels = {wanderer}, .script = "100 0 0 - -\n200 0 0 - -\n",
         .presents = {"1 0 [WELCOME TO LEVEL 1!]", "1 0 [OOPS! TRY AGAIN, KIP!]"},
         .boxes = {"Fatal Error|Failed to load leveldata|1|11", "end|11|200"}},
        // Level 2 starts at 2^32 - 1295: its banner is shown up to 3000 ms across the wrap.
        // No level3.lvx: it is not asked for. The farewell is held until the first tick
        // read more than 3000 after the one that follows its present.
        {.name = "Escape in level 2", .levels = {goal, plain},
         .script = "4294966000 0 0 - -\n100 0 0 - -\n1705 0 0 - -\n1706 0 0 - 01\n",
         .presents = {"1 0", "2 0 [WELCOME TO LEVEL 2!]", "2 0 [WELCOME TO LEVEL 2!]", "2 0",
                      "3 0 [LIVE LONG AND PROSPER!] closing"},
         .boxes = {"end|11|4708"}},
    };
    std::vector<std::string> shown;  // each present as "level debug_flags [text]...", a frame rate as [fps]
    after_present = [&shown](size_t n) {
        std::string s = std::to_string(level_number) + " " + std::to_string(debug_flags);
        for (int i = 0; i < overlay_text_count(); i++)
            s += " [" + (std::string(overlay_text(i)).ends_with(" fps") ? "fps" : std::string(overlay_text(i))) + "]";
        shown.push_back(s + (closing_message_active ? " closing" : ""));
        if (n == 0) write_test_level("level1.lvx", goal);  // seen only by a run that loads level 1 again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(dir / c.name);
        fs::current_path(dir / c.name);
        for (size_t n = 0; n < c.levels.size(); n++)
            ASSERT_TRUE(write_test_level(("level" + std::to_string(n + 1) + ".lvx").c_str(), c.levels[n]));
        shown.clear();
        // Any "Fatal Error" box ends the game with 1; a normal end is 0.
        EXPECT_EQ(play(c.script, c.failing), c.boxes.front().starts_with("Fatal Error|") ? 1 : 0);
        EXPECT_EQ(boxes.front(), "hold 'yer hourses!|Press ok to start the program|0|00");
        EXPECT_EQ(std::vector(boxes.begin() + 1, boxes.end()), c.boxes);
        EXPECT_EQ(shown, c.presents);
    }
}

// The ball and a wanderer on its square: caught in the first frame of every attempt.
// The level is failed again each time (not left failed from before); the wanderer takes
// its fresh height at every load, while the ball keeps its height plus 0.375 (it had no
// time to fall back). Escape in the fourth attempt.
TEST_F(Game, ALostLevelStartsAgainWithTheWandererOnTheFloor)
{
    ASSERT_TRUE(write_test_level("level1.lvx", TestLevel::wanderer));
    std::vector<std::string> seen;  // each present as "texts|level_failed|ball z|wanderer z"
    after_present = [&seen](size_t n) {
        std::ostringstream s;
        s << presents[n].texts << '|' << level_failed << '|' << entities[0].z << '|' << entities[1].z;
        seen.push_back(s.str());
    };
    EXPECT_EQ(play("100 0 0 - -\n200 0 0 - -\n300 0 0 - -\n400 0 0 - 01\n"), 0);
    const std::vector<std::string> expected = {
        "WELCOME TO LEVEL 1!|1|0.375|0.375", "OOPS! TRY AGAIN, KIP!|1|0.75|0.375",
        "OOPS! TRY AGAIN, KIP!|1|1.125|0.375", "OOPS! TRY AGAIN, KIP!|0|1.5|0.375",
        "LIVE LONG AND PROSPER!|0|1.5|0.375"};
    EXPECT_EQ(seen, expected);
}

const std::string paused_texts = "PAUSED|PRESS P OR A MOUSE BUTTON TO PLAY ON";

// A script line: its tick, mouse motion and buttons, and the keys held.
std::string line(uint32_t tick, int dx, int dy, char buttons = '-', const char* keys = "-")
{
    return std::to_string(tick) + " " + std::to_string(dx) + " " + std::to_string(dy) + " " + buttons + " " + keys +
           "\n";
}

// A pause of ten frames in the middle of a run on level 3: no wanderer moves and their
// countdown stands still; afterwards every frame, its picture included, is the frame the
// run without the pause shows, 170 ms later. The banner's 3000 ms end after the pause
// too, as many frames in as without it.
TEST_F(Game, APausedRunPlaysOnAsIfThePauseNeverHappened)
{
    std::string plain, paused;  // from tick 2500, so the banner goes out at frame 30, after the pause
    for (uint32_t n = 0; n < 60; n++) {
        int dx = static_cast<int>(n % 5) - 1, dy = static_cast<int>(n % 3) - 2;
        plain += line(2500 + 17 * n, dx, dy);
        if (n == 20)  // P pressed at once, released, pressed again; the mouse moves meanwhile
            for (uint32_t j = 0; j < 10; j++)
                paused += line(2500 + 17 * (n + j), 9, -9, '-', j == 0 || j == 9 ? "19" : "-");
        paused += line(2500 + 17 * n + (n < 20 ? 0 : 170), dx, dy);
    }
    shipped(3);
    ASSERT_EQ(play(plain), 0);
    std::vector<Present> without = presents;
    ASSERT_EQ(play(paused), 0);

    ASSERT_EQ(presents.size(), without.size() + 10);
    EXPECT_NE(without[19].countdown, without[29].countdown);  // it does run while playing
    for (size_t n = 0; n < 20; n++) EXPECT_EQ(presents[n].frame, without[n].frame) << n;
    for (size_t n = 20; n < 30; n++)
        EXPECT_TRUE(presents[n].texts == paused_texts && presents[n].world == without[19].world) << n;
    EXPECT_EQ(presents[20].frame, presents[29].frame);
    for (size_t n = 30; n < presents.size() - 1; n++) {
        const Present &a = presents[n], &b = without[n - 10];
        EXPECT_TRUE(a.tick == b.tick + 170 && a.world == b.world && a.texts == b.texts && a.frame == b.frame) << n;
    }
    EXPECT_EQ(without[29].texts, "WELCOME TO LEVEL 3!");
    EXPECT_EQ(without[30].texts, "");
}

// Which frames are paused, by what each frame reads: '.' plays, 'p' paused. The script's
// end holds Escape, which ends the game with the farewell, paused or not.
TEST_F(Game, WhatPausesAndWhatPlaysOn)
{
    // Buttons and keys per frame ('P' the key); focus lost and back after these presents (-1 never).
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
        SCOPED_TRACE(c.name);
        after_present = [&c](size_t present) {
            if (static_cast<int>(present) == c.focus_lost_after) script_set_focus(false);
            if (static_cast<int>(present) == c.focus_back_after) script_set_focus(true);
        };
        std::string script;
        for (size_t n = 0; n < c.buttons.size(); n++)
            script += line(1000 + 17 * static_cast<uint32_t>(n), 0, 0, c.buttons[n], c.keys[n] == 'P' ? "19" : "-");
        shipped(1);
        EXPECT_EQ(play(script), 0);
        std::string seen;
        for (size_t n = 0; n < c.buttons.size() && n < presents.size(); n++)
            seen += presents[n].texts == paused_texts ? 'p' : '.';
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(presents.back().texts, "LIVE LONG AND PROSPER!");
    }
}

// Escape during the banner: the farewell is drawn on the scene the last frame showed,
// without the banner beneath it. The scene comes from the same run with the level
// started so long ago (the tick wraps) that no banner is drawn; the calendar, which
// seeds the wanderers, is the same in both.
TEST_F(Game, TheClosingMessageStandsAloneOnTheScene)
{
    auto still = [](uint32_t start_tick) {  // ten still frames, Escape in the last
        std::string script = "ticks " + std::to_string(start_tick) + "\ncalendar 1000000001\n";
        for (uint32_t n = 0; n < 10; n++)
            script += line(1000 + 17 * n, 0, 0, '-', n == 9 ? "01 cal=1000000001" : "- cal=1000000001");
        return script;
    };
    for (int level : {1, 3}) {  // outlines, solid
        SCOPED_TRACE(level);
        shipped(level, level == 3);
        ASSERT_EQ(play(still(4294960000u)), 0);
        ASSERT_EQ(presents.size(), 11u);
        EXPECT_EQ(presents[9].texts, "");
        std::vector<uint8_t> expected = presents[9].frame;
        ASSERT_EQ(play(still(900)), 0);
        ASSERT_EQ(presents.size(), 11u);
        EXPECT_EQ(presents[9].texts, "WELCOME TO LEVEL " + std::to_string(level) + "!");
        EXPECT_EQ(presents[10].texts, "LIVE LONG AND PROSPER!");
        draw_font_text(expected.data(), "LIVE LONG AND PROSPER!", 210, 235,
                       static_cast<uint8_t>(nearest_palette_index(255, 255, 0)));
        EXPECT_TRUE(presents[10].frame == expected);
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
        EXPECT_EQ(brighten_channel(static_cast<uint8_t>(value), 5), brighten_channel(static_cast<uint8_t>(value), 4));
    }
}

}  // namespace
