// The settings file: where it is, what each line sets (bounds, comments, bad values
// warned about with file and line), the command line winning, what the end of a game
// writes back (only changes, other lines kept, the old file whole when writing fails),
// and screenshots going to the screenshot folder.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "render/frame.h"
#include "shell/options.h"
#include "shell/screenshot.h"
#include "shell/settings.h"
#include "shell_test_files.h"

namespace {

TEST(Settings, FileLocation)
{
    const struct { const char* name; const char *option, *config_home, *home, *expected; } cases[] = {
        {"--config wins", "my.cfg", "/x", "/h", "my.cfg"},
        {"XDG_CONFIG_HOME", nullptr, "/x", "/h", "/x/maze/maze.cfg"},
        {"empty XDG_CONFIG_HOME", nullptr, "", "/h", "/h/.config/maze/maze.cfg"},
        {"unset XDG_CONFIG_HOME", nullptr, nullptr, "/h", "/h/.config/maze/maze.cfg"},
        {"neither", nullptr, nullptr, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings_locate(c.option, c.config_home, c.home), c.expected[0] != '\0') << c.name;
        EXPECT_STREQ(settings_path, c.expected) << c.name;
    }
}

TEST(Settings, LinesRead)
{
    // The settings changed from the defaults; the warning after "maze: FILE:", or "" for silence.
    const struct { const char* name; std::vector<std::string> args; const char *file, *expected, *warning; } cases[] = {
        {"empty", {}, "", "", ""},
        {"every key", {},
         "solid 1\nwindow 1\nfps 30\nmouse_speed 2.5\nscreenshot_dir /tmp/my shots\nbrightness 3\n"
         "gamepad_dead_zone 0\ngamepad_stick_speed 10\ngamepad_invert_tilt 1\n",
         "window=1 solid=1 fps=30 mouse_speed=2.5 screenshot_dir=/tmp/my shots brightness=3 dead_zone=0 "
         "stick_speed=10 invert_tilt=1",
         ""},
        {"comments, blanks, tabs, no last newline", {}, "# solid 1\n\n  solid\t1  \r\n\tfps 25", "solid=1 fps=25", ""},
        {"an unknown key is silent, one without a value is not", {}, "bright 3\nwindow\t\n", "",
         "2: window must be 0 or 1, not \"\"; using the default, 0\n"},
        {"later line wins, fps 0 unpaced", {}, "fps 30\nfps 0\n", "fps=0", ""},
        {"lowest", {}, "fps 20\nmouse_speed 0.1\n", "fps=20 mouse_speed=0.1", ""},
        {"highest", {}, "fps 1000\nmouse_speed 10\n", "fps=1000 mouse_speed=10", ""},
        {"fps below", {}, "fps 19\n", "", "1: fps must be 0 or 20 to 1000, not \"19\"; using the default, 60\n"},
        {"fps above", {}, "# x\nfps 1001\n", "",
         "2: fps must be 0 or 20 to 1000, not \"1001\"; using the default, 60\n"},
        {"bad value after a good one", {}, "fps 30\nfps 3x\n", "",
         "2: fps must be 0 or 20 to 1000, not \"3x\"; using the default, 60\n"},
        {"solid 2", {}, "solid 2\n", "", "1: solid must be 0 or 1, not \"2\"; using the default, 0\n"},
        {"mouse speed below", {}, "mouse_speed 0.09\n", "",
         "1: mouse_speed must be 0.1 to 10, not \"0.09\"; using the default, 1\n"},
        {"command line wins, unwarned", {"--solid", "--fps", "30", "--screenshot-dir", "cli"},
         "solid 0\nfps 2\nscreenshot_dir file\nwindow 1\n", "window=1 solid=1 fps=30 screenshot_dir=cli", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch scratch;
        std::string path = scratch.root + "/maze.cfg";
        write_file(path, c.file);
        ASSERT_TRUE(parse(c.args));
        settings_locate(path.c_str(), nullptr, nullptr);
        std::string said = stderr_of([] { EXPECT_TRUE(settings_load("maze")); });
        EXPECT_EQ(changed_options(), c.expected);
        EXPECT_EQ(said, c.warning[0] ? "maze: " + path + ":" + c.warning : "");
    }
}

TEST(Settings, ChangesWrittenBack)
{
    // No file yet where it is null; -1 for a switch left as it was. Where `again` is not -1,
    // solid is switched to it after the first save and saved once more (the browser saves
    // when its page is hidden, then at the end).
    struct { const char* name; std::vector<std::string> args; const char* file; int solid, window; const char* then;
             int again = -1; }
        cases[] = {
        {"nothing changed, nothing made", {}, nullptr, -1, -1, "<missing>"},
        {"switched twice is no change", {}, "solid 0\n", 0, -1, "solid 0\n"},
        {"F4 and Alt+Enter with no file yet", {}, nullptr, 1, 1, "solid 1\nwindow 1\n"},
        {"the last good line rewritten, the rest kept", {}, "# mine\nfoo bar\nsolid 0\nwindow 1\n  solid 0 \n# end\n", 1, 0,
         "# mine\nfoo bar\nsolid 0\nwindow 0\nsolid 1\n# end\n"},
        {"a bad line kept, the value added", {}, "solid yes\n# no newline", 1, -1, "solid yes\n# no newline\nsolid 1\n"},
        {"a good line before a bad one", {}, "solid 1\nsolid 2\nfps 30\n", 1, -1, "solid 1\nsolid 2\nfps 30\nsolid 1\n"},
        {"command-line options not saved", {"--window", "--fps", "30"}, "fps 100\n", 1, 1, "fps 100\nsolid 1\n"},
        {"a command-line setting switched in the game", {"--solid"}, "", 0, -1, "solid 0\n"},
        {"saved, then switched back and saved again", {}, "solid 0\n# mine\n", 1, -1, "solid 0\n# mine\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch scratch;
        std::string path = scratch.root + "/config/maze/maze.cfg";
        if (c.file) {
            mkdir((scratch.root + "/config").c_str(), 0755);
            mkdir((scratch.root + "/config/maze").c_str(), 0755);
            write_file(path, c.file);
        }
        ASSERT_TRUE(parse(c.args));
        settings_locate(nullptr, (scratch.root + "/config").c_str(), nullptr);
        stderr_of([&] {
            settings_load("maze");
            settings_note_start();
            if (c.solid >= 0) game_options.solid = c.solid;
            if (c.window >= 0) game_options.windowed = c.window;
            EXPECT_TRUE(settings_save_changes("maze"));
            if (c.again >= 0) {
                game_options.solid = c.again;
                EXPECT_TRUE(settings_save_changes("maze"));
            }
        });
        EXPECT_EQ(read_file(path), c.then);
    }
}

// Through a symbolic link the file it points to changes and the link stays. A name with
// room for itself but not for the temporary file beside it fails to write (for root too),
// and a FIFO is neither waited on nor written over: both stay as they were.
TEST(Settings, WrittenThroughALinkAndNeverOverAFailedWriteOrAFifo)
{
    Scratch scratch;
    const std::string link = scratch.root + "/link.cfg", fifo = scratch.root + "/fifo.cfg",
                      long_name = scratch.root + "/" + std::string(250, 'c');
    write_file(scratch.root + "/real.cfg", "fps 30\n");
    ASSERT_EQ(symlink("real.cfg", link.c_str()), 0);
    write_file(long_name, "solid 0\n");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const struct { std::string path; bool loaded, saved; std::string said; } cases[] = {
        {link, true, true, ""},
        {long_name, true, false, "maze: cannot create " + long_name + ": File name too long\n"},
        {fifo, false, true, "maze: cannot read the settings " + fifo + ": not a regular file\n"},
    };
    for (const auto& c : cases) {
        bool loaded = false, saved = false;
        std::string said = stderr_of([&] {
            parse({});
            settings_locate(c.path.c_str(), nullptr, nullptr);
            loaded = settings_load("maze");
            settings_note_start();
            game_options.solid = true;
            saved = settings_save_changes("maze");
        });
        EXPECT_EQ(std::tuple(loaded, saved, said), std::tuple(c.loaded, c.saved, c.said)) << c.path;
    }
    struct stat link_info, fifo_info;
    EXPECT_TRUE(lstat(link.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode));
    EXPECT_EQ(read_file(scratch.root + "/real.cfg"), "fps 30\nsolid 1\n");
    EXPECT_EQ(read_file(long_name), "solid 0\n");
    EXPECT_TRUE(lstat(fifo.c_str(), &fifo_info) == 0 && S_ISFIFO(fifo_info.st_mode));
    int entries = 0;  // nothing left over beside them
    if (DIR* dir = opendir(scratch.root.c_str())) {
        while (dirent* entry = readdir(dir)) entries += entry->d_name[0] != '.';
        closedir(dir);
    }
    EXPECT_EQ(entries, 4);
}

TEST(Settings, ScreenshotsGoToTheScreenshotFolder)
{
    Scratch scratch;
    std::vector<uint8_t> frame(PLATFORM_FRAME_BYTES, 7);
    uint8_t* saved_frame = frame_buffer;
    frame_buffer = frame.data();
    uint8_t held[256] = {}, released[256] = {};
    held[SCAN_PRINT_SCREEN] = KEY_HELD;
    // What is said after "Print Screen: ", "@" for the scratch root.
    const struct { const char* folder; bool saved; const char* said; } cases[] = {
        {"/shots/deeper", true, "saved @/shots/deeper/maze_0000.png\n"},
        {"/shots/deeper/maze_0000.png", false,
         "could not make the folder @/shots/deeper/maze_0000.png (Not a directory)\n"},
    };
    for (const auto& c : cases) {
        reset_options();
        std::string folder = scratch.root + c.folder, expected = std::string("Print Screen: ") + c.said;
        game_options.screenshot_dir = folder.c_str();
        poll_screenshot_key(held);
        poll_screenshot_key(released);
        expected.replace(expected.find('@'), 1, scratch.root);
        EXPECT_EQ(stderr_of([&] { EXPECT_EQ(save_pending_screenshot(), c.saved); }), expected);
    }
    frame_buffer = saved_frame;
    reset_options();
}

}  // namespace
