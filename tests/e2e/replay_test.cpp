// The mazereplay program: traces, frame dumps and its refusal of bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Replay : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("maze_replay_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (int n = 1; n <= 4; n++) {
            std::string name = "level" + std::to_string(n) + ".lvx";
            fs::copy_file(fs::path(LEVELS_DIR) / name, dir / name);
        }
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const char* name, const std::string& text) { std::ofstream(dir / name) << text; }
    std::string read(const char* name)
    {
        std::ifstream in(dir / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Runs mazereplay in the test's directory; the exit code, stderr into "stderr.txt".
    int run(const std::string& arguments)
    {
        std::string command = "cd '" + dir.string() + "' && '" MAZEREPLAY "' " + arguments + " 2>stderr.txt";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A minute of play: rolling, turning the camera with the right button, solid drawing.
std::string play_script()
{
    std::string script = "# a short game\n";
    for (int frame = 0; frame < 90; frame++) {
        int tick = 1000 + frame * 17;
        const char* buttons = frame >= 40 && frame < 50 ? "R" : "-";
        const char* keys = frame == 5 ? "3E" : frame == 70 ? "42" : "-";
        script += std::to_string(tick) + " " + std::to_string(frame % 7 - 3) + " " + std::to_string(frame % 5 - 4) +
                  " " + buttons + " " + keys + "\n";
    }
    return script;
}

TEST_F(Replay, SameScriptGivesTheSameTraceTwice)
{
    write("play.txt", play_script());
    ASSERT_EQ(run("play.txt --trace one.jsonl"), 0) << read("stderr.txt");
    ASSERT_EQ(run("play.txt --trace two.jsonl"), 0) << read("stderr.txt");
    std::string one = read("one.jsonl");
    EXPECT_EQ(one, read("two.jsonl"));

    std::vector<std::string> lines = lines_of(one);
    ASSERT_GE(lines.size(), 93u);
    EXPECT_EQ(lines[0], R"({"message_box":{"caption":"hold 'yer hourses!","text":"Press ok to start the program"}})");
    EXPECT_EQ(lines[1].rfind(R"({"frame":0,"level":1,"tick":1000,"level_done":0,"level_failed":0,"debug_flags":0,)"
                             R"("texts":["WELCOME TO LEVEL 1!"],"camera":[)",
                             0),
              0u)
        << lines[1];
    EXPECT_NE(lines[1].find(R"(],"entities":[[0,)"), std::string::npos);
    size_t crc = lines[1].find(R"("frame_crc32":")");
    ASSERT_NE(crc, std::string::npos);
    EXPECT_EQ(lines[1].substr(crc + 15 + 8), "\"}");
    EXPECT_NE(lines[7].find("\"debug_flags\":4096,"), std::string::npos);  // F4 released in frame 6
    // Every present is counted, the closing one included.
    int frames = 0;
    for (const std::string& line : lines) frames += line.rfind("{\"frame\":", 0) == 0;
    EXPECT_EQ(lines.back(), "{\"exit\":0,\"frames\":" + std::to_string(frames) + "}");
    EXPECT_NE(lines[lines.size() - 2].find(R"("texts":["LIVE LONG AND PROSPER!"])"), std::string::npos);
    EXPECT_NE(lines[lines.size() - 2].find(R"(,"closing":true})"), std::string::npos);
}

TEST_F(Replay, FramesAreSavedAsPng)
{
    write("short.txt", "10 0 0 - -\n20 0 0 - -\n30 0 0 - 01\n");
    ASSERT_EQ(run("short.txt --frames 0,2 --frames-dir shots"), 0) << read("stderr.txt");
    EXPECT_TRUE(fs::exists(dir / "shots" / "frame_000000.png"));
    EXPECT_FALSE(fs::exists(dir / "shots" / "frame_000001.png"));
    EXPECT_TRUE(fs::exists(dir / "shots" / "frame_000002.png"));
}

TEST_F(Replay, BadInputIsRefusedBeforeTheGameStarts)
{
    write("good.txt", "10 0 0 - -\n");
    write("bad.txt", "10 0 0 - -\n# fine\n20 0 0 Q -\n");
    struct Case {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"bad.txt --trace t.jsonl", "script line 3: BUTTONS must be -, L, R or LR"},
        {"missing.txt --trace t.jsonl", "cannot open missing.txt"},
        {"--trace t.jsonl", "no script given"},
        {"good.txt --trace", "missing value after --trace"},
        {"good.txt --trace t.jsonl --speed 2", "unknown option --speed"},
        {"good.txt --trace t.jsonl --frames 1,x --frames-dir d", "--frames needs frame numbers"},
        {"good.txt --trace t.jsonl --frames 1", "--frames and --frames-dir go together"},
        {"good.txt bad.txt --trace t.jsonl", "more than one script"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.arguments), 2) << c.arguments;
        EXPECT_NE(read("stderr.txt").find(c.message), std::string::npos) << c.arguments << ": " << read("stderr.txt");
        EXPECT_FALSE(fs::exists(dir / "t.jsonl")) << c.arguments;
    }
}

}  // namespace
