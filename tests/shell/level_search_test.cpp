// Where maze and mazereplay look for the level files: the folders in order for a given
// program path and $XDG_DATA_DIRS, which one wins, and what is said when none has them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/level_search.h"
#include "shell/options.h"
#include "shell_test_files.h"

namespace {

TEST(LevelSearch, FoldersInOrder)
{
    const struct { const char *name, *program, *data_dirs, *expected; } cases[] = {
        {"system install, default data dirs, no repeats", "/usr/bin/maze", nullptr,
         ". /usr/share/maze /usr/local/share/maze"},
        {"empty variable is the default", "/usr/local/bin/maze", "", ". /usr/local/share/maze /usr/share/maze"},
        {"home install, relative and empty entries left out", "/home/u/.local/bin/maze", "share::/x/",
         ". /home/u/.local/share/maze /x/maze"},
        {"program at the root's bin", "/bin/maze", "/", ". /share/maze /maze"},
        {"program named without a folder", "maze", "/a:/b", ". /a/maze /b/maze"},
        {"build folder", "/src/build/dev/maze", "/a", ". /src/build/share/maze /a/maze"},
    };
    for (const auto& c : cases) {
        list_level_folders(c.program, c.data_dirs);
        std::string listed;
        for (int i = 0; i < level_search_count; i++) listed += std::string(i ? " " : "") + level_search_folders[i];
        EXPECT_EQ(listed, c.expected) << c.name;
    }
}

// In a scratch tree of work/ (the working directory) and the data folders a/maze and
// b/maze; "@" in the texts stands for its root, "%" for the folder beside this program.
TEST(LevelSearch, FirstFolderHoldingTheLevelWinsElseAllAreNamed)
{
    // The folders holding a level1.lvx (one ending in .lvx/ is a folder so named), the command line, the
    // levels folder the search leaves ("-": the working directory's plain names), what it said ("": found).
    const struct { const char* name; std::vector<std::string> holders, args; const char *levels_dir, *said; }
        cases[] = {
        {"working directory first", {"/work", "/a/maze", "/b/maze"}, {}, "-", ""},
        {"first data folder before the second", {"/a/maze", "/b/maze"}, {}, "@/a/maze", ""},
        {"a folder named level1.lvx does not count", {"/a/maze/level1.lvx/", "/b/maze"}, {}, "@/b/maze", ""},
        {"--levels is the only folder", {"/work", "/b/maze"}, {"--levels", "@/a/maze"}, "@/a/maze",
         "maze: level1.lvx is missing from @/a/maze (given with --levels)\n"},
        {"--levels holding it", {"/a/maze"}, {"--levels", "@/a/maze"}, "@/a/maze", ""},
        {"--play missing", {"/work"}, {"--play", "@/gone.lvx"}, "-",
         "maze: cannot find the level file @/gone.lvx (given with --play)\n"},
        {"nowhere", {}, {}, "-",
         "maze: level1.lvx was not found; looked in:\n  . (the working directory)\n  %\n  @/a/maze\n  @/b/maze\n"
         "maze: name the folder of the level files with --levels DIR\n"},
    };
    const std::filesystem::path old_cwd = std::filesystem::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch scratch;
        auto fill = [&scratch](std::string text) {
            for (size_t at = 0; (at = text.find_first_of("@%", at)) != std::string::npos;) {
                const std::string with = text[at] == '@' ? scratch.root : level_search_folders[1];
                text.replace(at, 1, with);
                at += with.size();
            }
            return text;
        };
        for (const char* folder : {"/work", "/a/maze", "/b/maze"})
            std::filesystem::create_directories(scratch.root + folder);
        std::filesystem::current_path(scratch.root + "/work");
        setenv("XDG_DATA_DIRS", fill("@/a:@/b").c_str(), 1);
        for (const std::string& holder : c.holders) {
            if (holder.ends_with(".lvx/")) mkdir((scratch.root + holder).c_str(), 0755);
            else write_file(scratch.root + holder + "/level1.lvx", "x");
        }
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(fill(arg));
        ASSERT_TRUE(parse(args));
        bool found = false;
        std::string said = stderr_of([&] { found = find_level_folder("maze"); });
        EXPECT_EQ(found, c.said[0] == '\0');
        EXPECT_EQ(said, fill(c.said));
        EXPECT_EQ(game_options.levels_dir ? game_options.levels_dir : "-", fill(c.levels_dir));
        std::filesystem::current_path(old_cwd);
    }
    unsetenv("XDG_DATA_DIRS");
    reset_options();
}

}  // namespace
