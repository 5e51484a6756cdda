// The command line of maze: what each accepted line sets, what each refused one says
// (from the program itself: exit 2, one line, the usage, before anything opens), and
// the help matching the README's table.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/options.h"

namespace {

bool parse(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"maze"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    return parse_options(static_cast<int>(argv.size()), argv.data(), nullptr, 0);
}

// Every setting in one line: level, dir, play, window, solid, fps, speed, record, trace,
// help, and the file the level loop asks for as level 2.
std::string summary()
{
    const GameOptions& o = game_options;
    auto text = [](const char* s) { return std::string(s ? s : "-"); };
    char level2[64] = "";
    level_file_name(2, level2, sizeof level2);
    std::ostringstream out;
    out << o.first_level << ' ' << text(o.levels_dir) << ' ' << text(o.play_file) << ' ' << o.windowed << o.solid
        << ' ' << o.fps << ' ' << o.mouse_speed << ' ' << text(o.record_path) << ' ' << text(o.trace_path) << ' '
        << o.help << ' ' << level2;
    return out.str();
}

TEST(Options, AcceptedLinesSetExactlyTheirSettings)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "1 - - 00 60 1 - - 0 level2.lvx"},
        {{"--level", "4"}, "4 - - 00 60 1 - - 0 level2.lvx"},
        {{"--levels", "my levels", "--level", "1"}, "1 my levels - 00 60 1 - - 0 my levels/level2.lvx"},
        {{"--play", "./--odd.lvx"}, "1 - ./--odd.lvx 00 60 1 - - 0 ./--odd.lvx"},
        {{"--window", "--solid"}, "1 - - 11 60 1 - - 0 level2.lvx"},
        {{"--fps", "0"}, "1 - - 00 0 1 - - 0 level2.lvx"},
        {{"--fps", "20"}, "1 - - 00 20 1 - - 0 level2.lvx"},
        {{"--fps", "1000"}, "1 - - 00 1000 1 - - 0 level2.lvx"},
        {{"--mouse-speed", "0.1"}, "1 - - 00 60 0.1 - - 0 level2.lvx"},
        {{"--mouse-speed", "10"}, "1 - - 00 60 10 - - 0 level2.lvx"},
        {{"--mouse-speed", "2.5e0"}, "1 - - 00 60 2.5 - - 0 level2.lvx"},
        {{"--record", "run.script", "--trace", "t.jsonl"}, "1 - - 00 60 1 run.script t.jsonl 0 level2.lvx"},
        {{"--fps", "30", "-h"}, "1 - - 00 30 1 - - 1 level2.lvx"},
        {{"--help"}, "1 - - 00 60 1 - - 1 level2.lvx"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_TRUE(parse(args)) << expected;
        EXPECT_EQ(summary(), expected);
    }
}

// The player's picture and gamepad: defaults, and each bound taken.
TEST(Options, BrightnessAndGamepadSettings)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "0 0.2 1 0"},
        {{"--brightness", "0"}, "0 0.2 1 0"},
        {{"--brightness", "4"}, "4 0.2 1 0"},
        {{"--gamepad-dead-zone", "0"}, "0 0 1 0"},
        {{"--gamepad-dead-zone", "0.9"}, "0 0.9 1 0"},
        {{"--gamepad-stick-speed", "0.1", "--gamepad-invert-tilt"}, "0 0.2 0.1 1"},
        {{"--gamepad-stick-speed", "10"}, "0 0.2 10 0"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_TRUE(parse(args)) << expected;
        const GameOptions& o = game_options;
        std::ostringstream out;
        out << o.brightness << ' ' << o.gamepad_dead_zone << ' ' << o.gamepad_stick_speed << ' '
            << o.gamepad_invert_tilt;
        EXPECT_EQ(out.str(), expected);
    }
}

// A file name that does not fit is refused, not cut short.
TEST(Options, ALevelFileNameTooLongIsRefused)
{
    const std::vector<std::string> args = {"--levels", std::string(60, 'd')};  // the options keep pointers into it
    ASSERT_TRUE(parse(args));
    char name[80];
    EXPECT_FALSE(level_file_name(1, name, 60 + 11));  // "/level1.lvx" and no room for the end
    EXPECT_TRUE(level_file_name(1, name, 60 + 12));
    reset_options();
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs the real maze with the arguments (no display needed for these): exit code,
// and stdout and stderr.
int run_maze(const std::string& arguments, std::string* out, std::string* err)
{
    std::string base = ::testing::TempDir() + "maze_options_" + std::to_string(getpid());
    int status = std::system(("'" MAZE "' " + arguments + " >'" + base + ".out' 2>'" + base + ".err'").c_str());
    *out = read_file(base + ".out");
    *err = read_file(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Options, RefusedLinesExitWithTwoAndOneLineBeforeAnythingOpens)
{
    const std::string usage = options_usage;
    const std::string cases[][2] = {
        {"--speed 2", "unknown option --speed"},
        {"--fps=30", "unknown option --fps=30"},
        {"level3", "unexpected argument level3"},
        {"--level", "missing value after --level"},
        {"--level --window", "missing value after --level"},
        {"--level 0", "--level must be 1 to 4, not 0"},
        {"--level 5", "--level must be 1 to 4, not 5"},
        {"--level 2x", "--level must be 1 to 4, not 2x"},
        {"--level ' 2'", "--level must be 1 to 4, not  2"},
        {"--levels ''", "missing value after --levels"},
        {"--play a.lvx --level 2", "--play names the only level; it does not go with --level"},
        {"--levels d --play a.lvx", "--play names the only level; it does not go with --levels"},
        {"--fps 19", "--fps must be 0 or 20 to 1000, not 19"},
        {"--fps 1001", "--fps must be 0 or 20 to 1000, not 1001"},
        {"--fps -1", "--fps must be 0 or 20 to 1000, not -1"},
        {"--fps -0", "--fps must be 0 or 20 to 1000, not -0"},
        {"--fps 99999999999999999999", "--fps must be 0 or 20 to 1000, not 99999999999999999999"},
        {"--mouse-speed 0.09", "--mouse-speed must be a number from 0.1 to 10, not 0.09"},
        {"--mouse-speed 10.01", "--mouse-speed must be a number from 0.1 to 10, not 10.01"},
        {"--mouse-speed nan", "--mouse-speed must be a number from 0.1 to 10, not nan"},
        {"--mouse-speed 0x1p1", "--mouse-speed must be a number from 0.1 to 10, not 0x1p1"},
        {"--trace", "missing value after --trace"},
        {"--brightness 5", "--brightness must be 0 to 4, not 5"},
        {"--brightness -1", "--brightness must be 0 to 4, not -1"},
        {"--gamepad-dead-zone 0.91", "--gamepad-dead-zone must be a number from 0 to 0.9, not 0.91"},
        {"--gamepad-dead-zone -0.1", "--gamepad-dead-zone must be a number from 0 to 0.9, not -0.1"},
        {"--gamepad-stick-speed 0.09", "--gamepad-stick-speed must be a number from 0.1 to 10, not 0.09"},
        {"--gamepad-stick-speed 11", "--gamepad-stick-speed must be a number from 0.1 to 10, not 11"},
        {"--window --window", "given twice: --window"},
        {"--fps 30 --fps 40", "given twice: --fps"},
        {"--play " + std::string(OPTIONS_MAX_PATH, 'p'), "path too long: "},
    };
    for (const auto& [arguments, reason] : cases) {
        std::string out, err;
        EXPECT_EQ(run_maze(arguments, &out, &err), 2) << arguments;
        EXPECT_EQ(out, "") << arguments;
        std::string first_line = err.substr(0, err.find('\n'));
        EXPECT_TRUE(first_line.starts_with("maze: " + reason)) << arguments << ": " << first_line;
        EXPECT_EQ(err.substr(err.find('\n') + 1), usage) << arguments;
    }
    std::string out, err;
    EXPECT_EQ(run_maze("--fps 30 --config my.cfg --help", &out, &err), 0);
    // The help ends by naming the settings file in use.
    EXPECT_EQ(out, usage + "\nSettings are read from my.cfg\n(key value lines; see the README for the keys).\n");
    EXPECT_EQ(err, "");
}

// Every option of the help is a row of the README's "Options" table, and no other.
TEST(Options, HelpListsTheOptionsOfTheReadme)
{
    std::set<std::string> in_help, in_readme;
    std::istringstream help(options_usage);
    for (std::string line; std::getline(help, line);)
        if (line.starts_with("  --")) in_help.insert(line.substr(2, line.find(' ', 2) - 2));
    std::istringstream readme(read_file(README));
    bool in_table = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("## ")) in_table = line == "## Options";
        if (in_table && line.starts_with("| `--")) in_readme.insert(line.substr(3, line.find_first_of(" `", 3) - 3));
    }
    EXPECT_EQ(in_help.size(), 17u);
    EXPECT_EQ(in_help, in_readme);
}

}  // namespace
