// The whole game end to end in a temporary working directory: in-process on the scripted
// platform with level files written by the tests, and through the mazereplay program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fresh_game.h"
#include "level_files.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

// Each present as "level debug_flags [text]..." (a frame rate as [fps]), " closing" for a
// closing message; each message box as "caption|text|icon|" and the display and keyboard
// releases made by then; the run's end as "end|releases|last tick read".
std::vector<std::string> presents, events;

std::string releases()
{
    return std::to_string(script_calls(SCRIPT_OP_RELEASE_DISPLAY)) +
           std::to_string(script_calls(SCRIPT_OP_UNACQUIRE_KEYBOARD));
}

void record_present(const uint8_t*, const uint8_t[256][3], int)
{
    std::string p = std::to_string(level_number) + " " + std::to_string(debug_flags);
    for (int i = 0; i < overlay_text_count(); i++) {
        std::string text = overlay_text(i);
        p += " [" + (text.ends_with(" fps") ? "fps" : text) + "]";
    }
    presents.push_back(p + (closing_message_active ? " closing" : ""));
    // Level 1 won from here on: seen only by a run that loads it again after a loss.
    if (presents.size() == 1) write_test_level("level1.lvx", TestLevel::goal);
}

void record_box(const char* text, const char* caption, int icon)
{
    events.push_back(std::string(caption) + "|" + text + "|" + std::to_string(icon) + "|" + releases());
}

class Game : public ::testing::Test {
protected:
    fs::path old_dir = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("maze_e2e_" + std::to_string(getpid()) + "_" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void TearDown() override
    {
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }
    // A fresh directory, platform, world and switches, as at program start.
    void fresh_run(const std::string& name)
    {
        fs::remove_all(dir / name);
        fs::create_directories(dir / name);
        fs::current_path(dir / name);
        fresh_game_state();
        presents.clear();
        events.clear();
        script_set_present_hook(record_present);
        script_set_message_box_hook(record_box);
    }
    std::string read(const char* name)
    {
        std::ifstream in(name);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Runs mazereplay in the working directory; the exit code, stderr into "stderr.txt".
    int replay(const std::string& arguments)
    {
        int status = std::system(("'" MAZEREPLAY "' " + arguments + " 2>stderr.txt").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// A failing start-up step and what is released after its message; whole runs: levels won,
// lost, missing, and Escape.
TEST_F(Game, RunsFromStartUpToTheirEnd)
{
    using enum TestLevel;
    const std::string quits = "Fatal Error|Failed to initialize DirectDraw. Quitting|1|", end = "end|10|0";
    struct Case {
        const char* name;
        ScriptOp failing = SCRIPT_OP_COUNT;  // SCRIPT_OP_COUNT: nothing fails
        std::vector<TestLevel> levels = {};
        const char* script = "";
        std::vector<std::string> presents = {}, events = {};  // events after the start-up box
    } cases[] = {
        {.name = "missing level1.lvx", .events = {"Fatal Error|Failed to load leveldata|1|11", "end|11|0"}},
        {.name = "class", .failing = SCRIPT_OP_REGISTER_WINDOW_CLASS,
         .events = {"Fatal Error|The window class could not be registered.|1|00", quits + "00", "end|00|0"}},
        {.name = "window", .failing = SCRIPT_OP_CREATE_WINDOW,
         .events = {"Fatal Error|The window could not be created.|1|00", quits + "00", "end|00|0"}},
        {.name = "display", .failing = SCRIPT_OP_CREATE_DISPLAY,
         .events = {"Fatal Error|The DirectDraw object could not be created.|1|00", quits + "00", "end|00|0"}},
        {.name = "exclusive", .failing = SCRIPT_OP_SET_EXCLUSIVE,
         .events = {"Fatal Error|Could not get exclusive mode.|1|00", quits + "10", end}},
        {.name = "mode", .failing = SCRIPT_OP_SET_DISPLAY_MODE,
         .events = {"Fatal Error|Could not change video mode.|1|00", quits + "10", end}},
        {.name = "surface", .failing = SCRIPT_OP_CREATE_PRIMARY_SURFACE, .events = {quits + "10", end}},
        {.name = "back buffer", .failing = SCRIPT_OP_GET_BACK_BUFFER, .events = {quits + "10", end}},
        {.name = "palette", .failing = SCRIPT_OP_SET_PALETTE, .events = {quits + "10", end}},
        // The screen is given back once the message has been read.
        {.name = "input", .failing = SCRIPT_OP_ACQUIRE_KEYBOARD,
         .events = {"Fatal Error|Failed to initialize DirectInput. Quitting|1|00", end}},
        {.name = "failure and Escape together", .levels = {wanderer}, .script = "100 0 0 - 01\n",
         .presents = {"1 0 [WELCOME TO LEVEL 1!]"}, .events = {"end|11|100"}},
        // F8 held through level 1, released in level 2: the frame rate stays on; no level5.lvx.
        {.name = "four won", .levels = {goal, goal, goal, goal},
         .script = "100 0 0 - 42\n200 0 0 - -\n300 0 0 - -\n400 0 0 - -\n",
         .presents = {"1 0 [WELCOME TO LEVEL 1!]", "2 256 [fps] [WELCOME TO LEVEL 2!]", "3 256 [fps] [WELCOME TO LEVEL 3!]",
                      "4 256 [fps] [WELCOME TO LEVEL 4!]", "5 256 [CONGRATULATIONS! YOU DID IT!] closing"},
         .events = {"end|11|3402"}},
        // Level 1 is lost, read again from disk (now a won level); level 2 has no file.
        {.name = "reload", .levels = {wanderer}, .script = "100 0 0 - -\n200 0 0 - -\n",
         .presents = {"1 0 [WELCOME TO LEVEL 1!]", "1 0 [OOPS! TRY AGAIN, KIP!]"},
         .events = {"Fatal Error|Failed to load leveldata|1|11", "end|11|200"}},
        // Level 2 starts at 2^32 - 1295: its banner is shown up to 3000 ms across the wrap.
        // No level3.lvx: it is not asked for. The farewell is held until the first tick
        // read more than 3000 after the one that follows its present.
        {.name = "Escape in level 2", .levels = {goal, plain},
         .script = "4294966000 0 0 - -\n100 0 0 - -\n1705 0 0 - -\n1706 0 0 - 01\n",
         .presents = {"1 0", "2 0 [WELCOME TO LEVEL 2!]", "2 0 [WELCOME TO LEVEL 2!]", "2 0",
                      "3 0 [LIVE LONG AND PROSPER!] closing"},
         .events = {"end|11|4708"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_run(c.name);
        for (size_t n = 0; n < c.levels.size(); n++)
            ASSERT_TRUE(write_test_level(("level" + std::to_string(n + 1) + ".lvx").c_str(), c.levels[n]));
        ASSERT_TRUE(script_load_text(c.script, nullptr, 0));
        if (c.failing != SCRIPT_OP_COUNT) script_fail(c.failing, 1);
        // Any "Fatal Error" box ends the game with 1; a normal end is 0.
        const bool fatal = c.events.front().starts_with("Fatal Error|");
        EXPECT_EQ(game_main(), fatal ? 1 : 0);
        events.push_back("end|" + releases() + "|" + std::to_string(script_last_tick()));
        std::vector<std::string> expected = {"hold 'yer hourses!|Press ok to start the program|0|00"};
        expected.insert(expected.end(), c.events.begin(), c.events.end());
        EXPECT_EQ(events, expected);
        EXPECT_EQ(presents, c.presents);
    }
}

TEST_F(Game, PrintScreenSavesTheNextFreeNumberOnRelease)
{
    fresh_run("shot");
    ASSERT_TRUE(write_test_level("level1.lvx", TestLevel::plain));
    std::ofstream("maze_0000.png").close();  // number 0 is taken
    ASSERT_TRUE(script_load_text("10 0 0 - B7\n20 0 0 - B7\n30 0 0 - -\n40 0 0 - -\n", nullptr, 0));
    EXPECT_EQ(game_main(), 0);
    EXPECT_EQ(fs::file_size("maze_0000.png"), 0u);
    EXPECT_FALSE(fs::exists("maze_0002.png"));
    std::string header(8, ' ');
    EXPECT_TRUE(std::ifstream("maze_0001.png", std::ios::binary).read(header.data(), 8));
    EXPECT_EQ(header, "\x89PNG\r\n\x1a\n");
}

TEST_F(Game, ReplayingAScriptTwiceGivesTheSameTrace)
{
    fresh_run("replay");
    fs::copy_file(fs::path(LEVELS_DIR) / "level1.lvx", "level1.lvx");  // the script ends in level 1
    // Rolling, turning the camera with the right button, solid drawing, the frame rate.
    std::ofstream script("play.txt");
    for (int frame = 0; frame < 90; frame++)
        script << 1000 + frame * 17 << ' ' << frame % 7 - 3 << ' ' << frame % 5 - 4 << (frame / 10 == 4 ? " R " : " - ")
               << (frame == 5 ? "3E" : frame == 70 ? "42" : "-") << '\n';
    script.close();
    ASSERT_EQ(replay("play.txt --trace one.jsonl --frames 0,2 --frames-dir shots"), 0) << read("stderr.txt");
    ASSERT_EQ(replay("play.txt --trace two.jsonl"), 0) << read("stderr.txt");
    std::string one = read("one.jsonl");
    EXPECT_EQ(one, read("two.jsonl"));
    EXPECT_TRUE(fs::exists("shots/frame_000000.png"));
    EXPECT_FALSE(fs::exists("shots/frame_000001.png"));
    EXPECT_TRUE(fs::exists("shots/frame_000002.png"));

    // Each line one JSON object; the first frame exactly (its picture aside), its keys in the
    // documented order; frames numbered from 0, the closing one included; the exit record last.
    std::vector<std::string> lines;
    std::vector<ordered_json> json;
    std::istringstream in(one);
    for (std::string line; std::getline(in, line); lines.push_back(line))
        ASSERT_TRUE(json.emplace_back(ordered_json::parse(line, nullptr, false)).is_object()) << line;
    ASSERT_EQ(lines.size(), 94u);
    EXPECT_EQ(lines[0], R"({"message_box":{"caption":"hold 'yer hourses!","text":"Press ok to start the program"}})");
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex(R"(\{"frame":0,"level":1,"tick":1000,"level_done":0,"level_failed":0,"debug_flags":0,)"
                             R"("texts":\["WELCOME TO LEVEL 1!"\],"camera":\[5,5,7,0\.10000000000000001,0\],)"
                             R"("entities":\[\[0,4\.5,5\.5,0\.375,0,0,-0,0,0\.014999999999999999,-0\.02,0\]\],)"
                             R"("frame_crc32":"[0-9a-f]{8}"\})")))
        << lines[1];
    for (size_t i = 1; i + 1 < json.size(); i++) EXPECT_EQ(json[i]["frame"], i - 1) << lines[i];
    EXPECT_NE(json[1]["frame_crc32"], json[60]["frame_crc32"]);
    EXPECT_EQ(json[7]["debug_flags"], 4096);  // F4 released in frame 6
    EXPECT_EQ(json[92]["texts"], ordered_json::array({"LIVE LONG AND PROSPER!"}));
    EXPECT_TRUE(lines[92].ends_with(R"(,"closing":true})")) << lines[92];
    EXPECT_EQ(lines[93], R"({"exit":0,"frames":92})");
}

TEST_F(Game, ReplayRefusesBadInputBeforeTheGameStarts)
{
    fresh_run("bad");
    std::ofstream("good.txt") << "10 0 0 - -\n";
    std::ofstream("bad.txt") << "10 0 0 - -\n# fine\n20 0 0 Q -\n";
    const std::string cases[][2] = {  // the arguments, the start of the message
        {"bad.txt --trace t.jsonl", "script line 3: BUTTONS must be -, L, R or LR"},
        {"missing.txt --trace t.jsonl", "cannot open missing.txt"},
        {"--trace t.jsonl", "no script given"},
        {"good.txt --trace", "missing value after --trace"},
        {"good.txt --trace t.jsonl --speed 2", "unknown option --speed"},
        {"good.txt --trace t.jsonl --frames 1,x --frames-dir d", "--frames needs frame numbers"},
        {"good.txt --trace t.jsonl --frames 1", "--frames and --frames-dir go together"},
        {"good.txt bad.txt --trace t.jsonl", "more than one script"},
        // The game's level options, refused as the game refuses them.
        {"good.txt --trace t.jsonl --level 5", "mazereplay: --level must be 1 to 4, not 5\nusage: mazereplay"},
        {"good.txt --trace t.jsonl --play a.lvx --levels sub",
         "mazereplay: --play names the only level; it does not go with --levels\n"},
        {"good.txt --trace t.jsonl --levels", "mazereplay: missing value after --levels\n"},
    };
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(replay(arguments), 2) << arguments;
        EXPECT_NE(read("stderr.txt").find(message), std::string::npos) << arguments << ": " << read("stderr.txt");
        EXPECT_FALSE(fs::exists("t.jsonl")) << arguments;
    }
}

}  // namespace
