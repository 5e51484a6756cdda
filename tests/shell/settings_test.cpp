// The settings file: where it is, what each line sets (bounds, comments, bad values
// warned about with file and line), the command line winning, what the end of a game
// writes back (only changes, other lines kept, the old file whole when writing fails),
// and screenshots going to the screenshot folder.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "render/frame.h"
#include "shell/options.h"
#include "shell/screenshot.h"
#include "shell/settings.h"

namespace {

struct Scratch {
    std::string root;
    Scratch()
    {
        char pattern[] = "/tmp/settings_XXXXXX";
        root = mkdtemp(pattern);
    }
    ~Scratch() { std::system(("rm -rf " + root).c_str()); }
};

void write_text(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void parse(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"maze"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    ASSERT_TRUE(parse_options(static_cast<int>(argv.size()), argv.data(), nullptr, 0));
}

// solid window fps mouse_speed screenshot_dir
std::string summary()
{
    const GameOptions& o = game_options;
    std::ostringstream out;
    out << o.solid << ' ' << o.windowed << ' ' << o.fps << ' ' << o.mouse_speed << ' '
        << (o.screenshot_dir ? o.screenshot_dir : "-");
    return out.str();
}

TEST(Settings, FileLocation)
{
    struct Case {
        const char* name;
        const char* option;
        const char* config_home;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"--config wins", "my.cfg", "/x", "/h", "my.cfg"},
        {"XDG_CONFIG_HOME", nullptr, "/x", "/h", "/x/maze/maze.cfg"},
        {"empty XDG_CONFIG_HOME", nullptr, "", "/h", "/h/.config/maze/maze.cfg"},
        {"unset XDG_CONFIG_HOME", nullptr, nullptr, "/h", "/h/.config/maze/maze.cfg"},
        {"neither", nullptr, nullptr, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settings_locate(c.option, c.config_home, c.home), c.expected[0] != '\0') << c.name;
        EXPECT_STREQ(settings_path, c.expected) << c.name;
    }
}

TEST(Settings, LinesRead)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* file;
        const char* expected;
        const char* warning;  // the part after "maze: FILE:", or "" for silence
    };
    const Case cases[] = {
        {"empty", {}, "", "0 0 60 1 -", ""},
        {"every key", {}, "solid 1\nwindow 1\nfps 30\nmouse_speed 2.5\nscreenshot_dir /tmp/my shots\n",
         "1 1 30 2.5 /tmp/my shots", ""},
        {"comments, blanks, tabs, no last newline", {}, "# solid 1\n\n  solid\t1  \r\n\tfps 25", "1 0 25 1 -", ""},
        {"unknown keys are silent", {}, "brightness 3\ngamepad_dead_zone 0.2\n", "0 0 60 1 -", ""},
        {"later line wins", {}, "fps 30\nfps 40\n", "0 0 40 1 -", ""},
        {"fps 0 unpaced", {}, "fps 0\n", "0 0 0 1 -", ""},
        {"fps lowest and highest", {}, "fps 20\nmouse_speed 10\n", "0 0 20 10 -", ""},
        {"fps 1000", {}, "fps 1000\nmouse_speed 0.1\n", "0 0 1000 0.1 -", ""},
        {"fps below", {}, "fps 19\n", "0 0 60 1 -", "1: fps must be 0 or 20 to 1000, not \"19\"; using the default, 60\n"},
        {"fps above", {}, "# x\nfps 1001\n", "0 0 60 1 -",
         "2: fps must be 0 or 20 to 1000, not \"1001\"; using the default, 60\n"},
        {"bad value after a good one", {}, "fps 30\nfps 3x\n", "0 0 60 1 -",
         "2: fps must be 0 or 20 to 1000, not \"3x\"; using the default, 60\n"},
        {"solid 2", {}, "solid 2\n", "0 0 60 1 -", "1: solid must be 0 or 1, not \"2\"; using the default, 0\n"},
        {"key without value", {}, "window\n", "0 0 60 1 -", "1: window must be 0 or 1, not \"\"; using the default, 0\n"},
        {"mouse speed below", {}, "mouse_speed 0.09\n", "0 0 60 1 -",
         "1: mouse_speed must be 0.1 to 10, not \"0.09\"; using the default, 1\n"},
        {"mouse speed not a number", {}, "mouse_speed nan\n", "0 0 60 1 -",
         "1: mouse_speed must be 0.1 to 10, not \"nan\"; using the default, 1\n"},
        {"command line wins, unwarned", {"--solid", "--fps", "30", "--screenshot-dir", "cli"},
         "solid 0\nfps 2\nscreenshot_dir file\nwindow 1\n", "1 1 30 1 cli", ""},
    };
    for (const Case& c : cases) {
        Scratch scratch;
        std::string path = scratch.root + "/maze.cfg";
        write_text(path, c.file);
        parse(c.args);
        settings_locate(path.c_str(), nullptr, nullptr);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(settings_load("maze")) << c.name;
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(summary(), c.expected) << c.name;
        EXPECT_EQ(said, c.warning[0] ? "maze: " + path + ":" + c.warning : "") << c.name;
    }
}

TEST(Settings, ChangesWrittenBack)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* file;  // null: no file yet
        int solid_at_end;  // -1: unchanged
        int window_at_end;
        const char* expected;
    };
    const Case cases[] = {
        {"nothing changed, nothing made", {}, nullptr, -1, -1, "<missing>"},
        {"switched twice is no change", {}, "solid 0\n", 0, -1, "solid 0\n"},
        {"F4 with no file yet", {}, nullptr, 1, -1, "solid 1\n"},
        {"F4 and Alt+Enter with no file yet", {}, nullptr, 1, 1, "solid 1\nwindow 1\n"},
        {"the last good line rewritten, the rest kept", {}, "# mine\nfoo bar\nsolid 0\nwindow 1\n  solid 0 \n# end\n", 1, 0,
         "# mine\nfoo bar\nsolid 0\nwindow 0\nsolid 1\n# end\n"},
        {"a bad line kept, the value added", {}, "solid yes\n# no newline", 1, -1, "solid yes\n# no newline\nsolid 1\n"},
        {"a good line before a bad one", {}, "solid 1\nsolid 2\nfps 30\n", 1, -1, "solid 1\nsolid 2\nfps 30\nsolid 1\n"},
        {"command-line options not saved", {"--window", "--fps", "30"}, "fps 100\n", 1, 1, "fps 100\nsolid 1\n"},
        {"a command-line setting switched in the game", {"--solid"}, "", 0, -1, "solid 0\n"},
    };
    for (const Case& c : cases) {
        Scratch scratch;
        std::string path = scratch.root + "/config/maze/maze.cfg";
        if (c.file) {
            mkdir((scratch.root + "/config").c_str(), 0755);
            mkdir((scratch.root + "/config/maze").c_str(), 0755);
            write_text(path, c.file);
        }
        parse(c.args);
        settings_locate(nullptr, (scratch.root + "/config").c_str(), nullptr);
        testing::internal::CaptureStderr();
        settings_load("maze");
        settings_note_start();
        if (c.solid_at_end >= 0) game_options.solid = c.solid_at_end;
        if (c.window_at_end >= 0) game_options.windowed = c.window_at_end;
        EXPECT_TRUE(settings_save_changes("maze")) << c.name;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(read_text(path), c.expected) << c.name;
    }
}

TEST(Settings, LinkFollowedAndFailedWriteKeepsTheOldFile)
{
    Scratch scratch;
    // Through a symbolic link: the file it points to changes, the link stays.
    write_text(scratch.root + "/real.cfg", "fps 30\n");
    ASSERT_EQ(symlink("real.cfg", (scratch.root + "/link.cfg").c_str()), 0);
    parse({});
    settings_locate((scratch.root + "/link.cfg").c_str(), nullptr, nullptr);
    settings_load("maze");
    settings_note_start();
    game_options.solid = true;
    EXPECT_TRUE(settings_save_changes("maze"));
    struct stat info;
    ASSERT_EQ(lstat((scratch.root + "/link.cfg").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read_text(scratch.root + "/real.cfg"), "fps 30\nsolid 1\n");

    // A name with room for itself but not for the temporary file beside it: the write
    // fails (for root too), said on stderr, and the old file stays as it was.
    std::string path = scratch.root + "/" + std::string(250, 'c');
    write_text(path, "solid 0\n");
    parse({});
    settings_locate(path.c_str(), nullptr, nullptr);
    settings_load("maze");
    settings_note_start();
    game_options.solid = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(settings_save_changes("maze"));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("maze: cannot create " + path), std::string::npos) << said;
    EXPECT_EQ(read_text(path), "solid 0\n");
    int entries = 0;
    if (DIR* dir = opendir(scratch.root.c_str())) {
        while (dirent* entry = readdir(dir)) entries += entry->d_name[0] != '.';
        closedir(dir);
    }
    EXPECT_EQ(entries, 3);  // real.cfg, link.cfg and the old file, nothing left over

    // A FIFO is neither waited on nor written over.
    std::string fifo = scratch.root + "/fifo.cfg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    parse({});
    settings_locate(fifo.c_str(), nullptr, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(settings_load("maze"));
    settings_note_start();
    game_options.solid = true;
    EXPECT_TRUE(settings_save_changes("maze"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "maze: cannot read the settings " + fifo + ": not a regular file\n");
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(Settings, ScreenshotsGoToTheScreenshotFolder)
{
    Scratch scratch;
    std::vector<uint8_t> frame(PLATFORM_FRAME_BYTES, 7);
    uint8_t* saved_frame = frame_buffer;
    frame_buffer = frame.data();
    uint8_t held[256] = {}, released[256] = {};
    held[SCAN_PRINT_SCREEN] = KEY_HELD;
    struct Case {
        const char* name;
        const char* folder;  // under the scratch root
        bool saved;
        const char* said;  // after "Print Screen: ", the root written as @
    };
    const Case cases[] = {
        {"folders made", "/shots/deeper", true, "saved @/shots/deeper/maze_0000.png\n"},
        {"next free number", "/shots/deeper", true, "saved @/shots/deeper/maze_0001.png\n"},
        {"a file in the way", "/shots/deeper/maze_0000.png", false,
         "could not make the folder @/shots/deeper/maze_0000.png (Not a directory)\n"},
    };
    for (const Case& c : cases) {
        reset_options();
        std::string folder = scratch.root + c.folder;
        game_options.screenshot_dir = folder.c_str();
        poll_screenshot_key(held);
        poll_screenshot_key(released);
        testing::internal::CaptureStderr();
        EXPECT_EQ(save_pending_screenshot(), c.saved) << c.name;
        std::string expected = std::string("Print Screen: ") + c.said;
        expected.replace(expected.find('@'), 1, scratch.root);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), expected) << c.name;
    }
    frame_buffer = saved_frame;
    reset_options();
}

}  // namespace
