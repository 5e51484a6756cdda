// mazereplay's exit status and refusals: an output that is its own input, a script that
// cannot be read, and the game's own fatal end; maze's refusal of files it cannot write.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

class ReplayExit : public ::testing::Test {
protected:
    fs::path old_dir = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("maze_replay_exit_" + std::to_string(getpid()));

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir / "folder");
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }
    static std::string read(const char* name)
    {
        std::ifstream in(name);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static int run(const char* program, const std::string& arguments)
    {
        // Appended piece by piece: GCC 12 warns falsely about `"'" + std::string`.
        std::string command = "'";
        command += program;
        command += "' ";
        command += arguments;
        command += " >stdout.txt 2>stderr.txt";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static int replay(const std::string& arguments) { return run(MAZEREPLAY, arguments); }
};

TEST_F(ReplayExit, RefusesToOverwriteItsScriptAndNamesAnUnreadableOne)
{
    const std::string script = "10 0 0 - 01\n";
    std::ofstream("s.txt") << script;
    fs::create_hard_link("s.txt", "link.txt");
    const std::string cases[][3] = {  // arguments, exit status, the message's start
        {"s.txt --trace s.txt", "2", "mazereplay: the trace s.txt is the script itself"},
        {"s.txt --trace ./folder/../s.txt", "2", "mazereplay: the trace ./folder/../s.txt is the script itself"},
        {"s.txt --trace link.txt", "2", "mazereplay: the trace link.txt is the script itself"},
        {"folder --trace t.jsonl", "2", "mazereplay: folder: cannot read folder: Is a directory"},
        // No level files: the game's "Failed to load leveldata" ends it with 1.
        {"s.txt --trace t.jsonl", "1", ""},
    };
    for (const auto& [arguments, status, message] : cases) {
        EXPECT_EQ(replay(arguments), std::stoi(status)) << arguments;
        EXPECT_TRUE(read("stderr.txt").starts_with(message)) << arguments << ": " << read("stderr.txt");
        EXPECT_EQ(read("s.txt"), script) << arguments;
    }
    EXPECT_EQ(read("t.jsonl"),
              "{\"message_box\":{\"caption\":\"hold 'yer hourses!\",\"text\":\"Press ok to start the program\"}}\n"
              "{\"message_box\":{\"caption\":\"Fatal Error\",\"text\":\"Failed to load leveldata\"}}\n"
              "{\"exit\":1,\"frames\":0}\n");
}

TEST_F(ReplayExit, TakesTheRecordingsOptionsUnlessItsCommandLineGivesLevelOptions)
{
    fs::copy_file(fs::path(LEVELS_DIR) / "level1.lvx", "level1.lvx");
    fs::copy_file(fs::path(LEVELS_DIR) / "level2.lvx", "level2.lvx");
    std::ofstream("solid2.txt") << "# maze --record\noptions --solid --level 2\n10 0 0 - -\n20 0 0 - 01\n";
    std::ofstream("bogus.txt") << "options --bogus\n10 0 0 - 01\n";
    std::ofstream("level9.txt") << "options --level 9\n10 0 0 - 01\n";
    const std::string cases[][3] = {  // arguments, exit status, the first frame's "level,debug_flags"
        {"solid2.txt --trace t.jsonl", "0", "2,4096"},
        {"solid2.txt --trace t.jsonl --level 1", "0", "1,4096"},
        {"bogus.txt --trace t.jsonl", "2", "mazereplay: bogus.txt: the script's options: unknown option --bogus"},
        {"level9.txt --trace t.jsonl", "2", "mazereplay: level9.txt: "},
    };
    for (const auto& [arguments, status, expected] : cases) {
        fs::remove("t.jsonl");
        EXPECT_EQ(replay(arguments), std::stoi(status)) << arguments << ": " << read("stderr.txt");
        if (status != "0") {
            EXPECT_TRUE(read("stderr.txt").starts_with(expected)) << arguments << ": " << read("stderr.txt");
            EXPECT_FALSE(fs::exists("t.jsonl")) << arguments;
            continue;
        }
        std::string trace = read("t.jsonl");
        std::string frame = trace.substr(trace.find("{\"frame\":0,"));
        std::string level = frame.substr(frame.find("\"level\":") + 8, 1);
        std::string flags = frame.substr(frame.find("\"debug_flags\":") + 14, 4);
        EXPECT_EQ(level + "," + flags, expected) << arguments;
    }
}

TEST_F(ReplayExit, MazeRefusesARecordingOrTraceItCannotWriteBeforeItStarts)
{
    // No display is needed: the game must not get as far as its start box.
    std::ofstream("kept.txt") << "kept\n";
    const std::string cases[][2] = {  // arguments, the message
        {"--record folder/no/r.script", "maze: cannot write the recording folder/no/r.script: No such file or directory\n"},
        {"--trace folder", "maze: cannot write the trace folder: Is a directory\n"},
        {"--record kept.txt --trace ./kept.txt", "maze: --record and --trace name the same file ./kept.txt\n"},
    };
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(run(MAZE, "--window " + arguments), 2) << arguments;
        EXPECT_EQ(read("stderr.txt"), message) << arguments;
        EXPECT_EQ(read("stdout.txt"), "") << arguments;
    }
    EXPECT_EQ(read("kept.txt"), "kept\n");
    EXPECT_FALSE(fs::exists("folder/no"));
}

}  // namespace
