// The command line of maze: what each accepted line sets, why each refused one is
// refused (said by the program itself: exit 2, the reason, the usage, before anything
// opens), the level files it names, and the help matching the README's table.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/options.h"
#include "shell_test_files.h"

namespace {

TEST(Options, EachLineSetsExactlyItsSettingsOrIsRefusedWithItsReason)
{
    // The line; what it changed, or why it was refused.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"--level", "4"}, "level=4"},
        {{"--levels", "my levels", "--level", "1"}, "levels=my levels"},
        {{"--play", "./--odd.lvx"}, "play=./--odd.lvx"},
        {{"--window", "--solid", "--gamepad-invert-tilt"}, "window=1 solid=1 invert_tilt=1"},
        {{"--fps", "0"}, "fps=0"},
        {{"--fps", "20", "--mouse-speed", "0.1"}, "fps=20 mouse_speed=0.1"},
        {{"--fps", "1000", "--mouse-speed", "10"}, "fps=1000 mouse_speed=10"},
        {{"--mouse-speed", "2.5e0"}, "mouse_speed=2.5"},
        {{"--record", "run.script", "--trace", "t.jsonl"}, "record=run.script trace=t.jsonl"},
        {{"--fps", "30", "-h"}, "fps=30 help=1"},
        {{"--help", "--version", "--config", "c", "--screenshot-dir", "s"},
         "help=1 version=1 config=c screenshot_dir=s"},
        {{"--brightness", "4", "--gamepad-dead-zone", "0", "--gamepad-stick-speed", "0.1"},
         "brightness=4 dead_zone=0 stick_speed=0.1"},
        {{"--brightness", "0", "--gamepad-dead-zone", "0.9", "--gamepad-stick-speed", "10"},
         "dead_zone=0.9 stick_speed=10"},
        {{"--speed", "2"}, "unknown option --speed"},
        {{"level3"}, "unexpected argument level3"},
        {{"--level"}, "missing value after --level"},
        {{"--level", "--window"}, "missing value after --level"},
        {{"--levels", ""}, "missing value after --levels"},
        {{"--level", "0"}, "--level must be 1 to 4, not 0"},
        {{"--level", "5"}, "--level must be 1 to 4, not 5"},
        {{"--level", "2x"}, "--level must be 1 to 4, not 2x"},
        {{"--level", " 2"}, "--level must be 1 to 4, not  2"},
        {{"--play", "a.lvx", "--level", "2"}, "--play names the only level; it does not go with --level"},
        {{"--levels", "d", "--play", "a.lvx"}, "--play names the only level; it does not go with --levels"},
        {{"--fps", "19"}, "--fps must be 0 or 20 to 1000, not 19"},
        {{"--fps", "1001"}, "--fps must be 0 or 20 to 1000, not 1001"},
        {{"--fps", "-0"}, "--fps must be 0 or 20 to 1000, not -0"},
        {{"--fps", "99999999999999999999"}, "--fps must be 0 or 20 to 1000, not 99999999999999999999"},
        {{"--mouse-speed", "0.09"}, "--mouse-speed must be a number from 0.1 to 10, not 0.09"},
        {{"--mouse-speed", "10.01"}, "--mouse-speed must be a number from 0.1 to 10, not 10.01"},
        {{"--mouse-speed", "0x1p1"}, "--mouse-speed must be a number from 0.1 to 10, not 0x1p1"},
        {{"--brightness", "5"}, "--brightness must be 0 to 4, not 5"},
        {{"--brightness", "-1"}, "--brightness must be 0 to 4, not -1"},
        {{"--gamepad-dead-zone", "0.91"}, "--gamepad-dead-zone must be a number from 0 to 0.9, not 0.91"},
        {{"--gamepad-dead-zone", "-0.1"}, "--gamepad-dead-zone must be a number from 0 to 0.9, not -0.1"},
        {{"--gamepad-stick-speed", "0.09"}, "--gamepad-stick-speed must be a number from 0.1 to 10, not 0.09"},
        {{"--gamepad-stick-speed", "11"}, "--gamepad-stick-speed must be a number from 0.1 to 10, not 11"},
        {{"--fps", "30", "--fps", "40"}, "given twice: --fps"},
        {{"--play", std::string(OPTIONS_MAX_PATH, 'p')}, "path too long: " + std::string(OPTIONS_MAX_PATH, 'p')},
    };
    for (const auto& [args, expected] : cases) {
        std::string reason;
        EXPECT_EQ(parse(args, &reason) ? changed_options() : reason, expected);
    }
    reset_options();
}

// A level file's name that does not fit is refused rather than cut short.
TEST(Options, ALevelFileNameTooLongIsRefused)
{
    const std::vector<std::string> args = {"--levels", "dd"};  // the options keep pointers into it
    char name[16];
    ASSERT_TRUE(parse(args));
    EXPECT_TRUE(level_file_name(2, name, 14));
    EXPECT_STREQ(name, "dd/level2.lvx");
    EXPECT_FALSE(level_file_name(2, name, 13));  // no room for the end
    reset_options();
}

// The real program: a refusal on stderr before the usage, the help on stdout.
TEST(Options, MazeSaysARefusalWithTheUsageAndEndsWith2)
{
    Scratch scratch;
    const std::string usage = options_usage, out = scratch.root + "/out", err = scratch.root + "/err";
    auto run = [&](const std::string& arguments) {
        int status = std::system(("'" MAZE "' " + arguments + " >'" + out + "' 2>'" + err + "'").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("--level 5"), 2);
    EXPECT_EQ(read_file(out), "");
    EXPECT_EQ(read_file(err), "maze: --level must be 1 to 4, not 5\n" + usage);
    EXPECT_EQ(run("--fps 30 --config my.cfg --help"), 0);
    // The help ends by naming the settings file in use.
    EXPECT_EQ(read_file(out),
              usage + "\nSettings are read from my.cfg\n(key value lines; see the README for the keys).\n");
    EXPECT_EQ(read_file(err), "");
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
