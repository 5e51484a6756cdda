// Where maze and mazereplay look for the level files: the folders in order for a given
// program path and $XDG_DATA_DIRS, which one wins, and what is said when none has them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "shell/level_search.h"
#include "shell/options.h"

namespace {

std::string listed()
{
    std::string text;
    for (int i = 0; i < level_search_count; i++) text += std::string(i ? " " : "") + level_search_folders[i];
    return text;
}

TEST(LevelSearch, FoldersInOrder)
{
    struct Case {
        const char* name;
        const char* program;
        const char* data_dirs;
        const char* expected;
    };
    const Case cases[] = {
        {"system install, default data dirs, no repeats", "/usr/bin/maze", nullptr,
         ". /usr/share/maze /usr/local/share/maze"},
        {"empty variable is the default", "/usr/local/bin/maze", "", ". /usr/local/share/maze /usr/share/maze"},
        {"home install, relative and empty entries left out", "/home/u/.local/bin/maze", "share::/x/",
         ". /home/u/.local/share/maze /x/maze"},
        {"program at the root's bin", "/bin/maze", "/", ". /share/maze /maze"},
        {"program named without a folder", "maze", "/a:/b", ". /a/maze /b/maze"},
        {"build folder", "/src/build/dev/maze", "/a", ". /src/build/share/maze /a/maze"},
    };
    for (const Case& c : cases) {
        list_level_folders(c.program, c.data_dirs);
        EXPECT_EQ(listed(), c.expected) << c.name;
    }
}

// A scratch tree: work/ (the working directory), a/maze and b/maze (data folders).
struct Scratch {
    std::string root, old_cwd;
    Scratch()
    {
        char pattern[] = "/tmp/level_search_XXXXXX";
        root = mkdtemp(pattern);
        for (const char* d : {"/work", "/a", "/a/maze", "/b", "/b/maze"}) mkdir((root + d).c_str(), 0755);
        char cwd[4096];
        old_cwd = getcwd(cwd, sizeof cwd) ? cwd : "/";
        EXPECT_EQ(chdir((root + "/work").c_str()), 0);
        setenv("XDG_DATA_DIRS", (root + "/a:" + root + "/b").c_str(), 1);
    }
    ~Scratch()
    {
        EXPECT_EQ(chdir(old_cwd.c_str()), 0);
        unsetenv("XDG_DATA_DIRS");
        std::system(("rm -rf " + root).c_str());
    }
    void level_in(const std::string& folder) { std::ofstream(root + folder + "/level1.lvx") << "x"; }
};

TEST(LevelSearch, FirstFolderHoldingLevel1Wins)
{
    struct Case {
        const char* name;
        std::vector<std::string> holders;
        const char* levels_option;  // relative to the scratch root
        bool found;
        const char* expected_dir;  // relative to the scratch root; "-" for the working directory
        bool folder_named_level1_in_a = false;
    };
    const Case cases[] = {
        {"working directory first", {"/work", "/a/maze", "/b/maze"}, nullptr, true, "-"},
        {"first data folder before the second", {"/a/maze", "/b/maze"}, nullptr, true, "/a/maze"},
        {"second data folder", {"/b/maze"}, nullptr, true, "/b/maze"},
        {"a folder named level1.lvx does not count", {"/b/maze"}, nullptr, true, "/b/maze", true},
        {"--levels is the only folder", {"/work", "/b/maze"}, "/a/maze", false, "/a/maze"},
        {"--levels holding it", {"/a/maze"}, "/a/maze", true, "/a/maze"},
        {"nowhere", {}, nullptr, false, "-"},
    };
    for (const Case& c : cases) {
        Scratch scratch;
        if (c.folder_named_level1_in_a) mkdir((scratch.root + "/a/maze/level1.lvx").c_str(), 0755);
        for (const std::string& holder : c.holders) scratch.level_in(holder);
        reset_options();
        std::string levels = c.levels_option ? scratch.root + c.levels_option : "";
        if (c.levels_option) game_options.levels_dir = levels.c_str();
        testing::internal::CaptureStderr();
        bool found = find_level_folder("maze");
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(found, c.found) << c.name;
        EXPECT_EQ(said.empty(), c.found) << c.name << ": " << said;
        std::string expected = std::string(c.expected_dir) == "-" ? "-" : scratch.root + c.expected_dir;
        EXPECT_EQ(game_options.levels_dir ? game_options.levels_dir : "-", expected) << c.name;
    }
    reset_options();
}

TEST(LevelSearch, MissingLevelsNameTheFileAndEveryFolder)
{
    Scratch scratch;
    reset_options();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(find_level_folder("mazereplay"));
    std::string said = testing::internal::GetCapturedStderr();
    std::string own = level_search_folders[1];  // beside this test program
    EXPECT_EQ(said, "mazereplay: level1.lvx was not found; looked in:\n"
                    "  . (the working directory)\n  " + own + "\n  " + scratch.root + "/a/maze\n  " + scratch.root +
                        "/b/maze\nmazereplay: name the folder of the level files with --levels DIR\n");

    game_options.levels_dir = "nowhere";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(find_level_folder("maze"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "maze: level1.lvx is missing from nowhere (given with --levels)\n");
    reset_options();
    game_options.play_file = "gone.lvx";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(find_level_folder("maze"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "maze: cannot find the level file gone.lvx (given with --play)\n");
    reset_options();
}

}  // namespace
