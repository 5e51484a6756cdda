// The shipped levels are playable: their replay scripts, made by steering the real game,
// win each level, lose levels 3 and 4 with a restart, and win all four in a row.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct Frame {
    int level = 0;
    long tick = 0;
    bool done = false, failed = false, closing = false;
    std::vector<std::string> texts;
};

struct ReplayRun {
    int exit_code = -1;
    std::vector<Frame> frames;
    std::vector<json> boxes;  // message-box records
    json last;                // the trace's last record
    int bad_lines = 0;        // lines that are not one JSON object of a known kind
};

// Replays `script` with the given shipped levels copied in as level1.lvx, level2.lvx, ...
ReplayRun replay(const std::string& name, const std::vector<int>& levels, const std::string& script)
{
    fs::path dir = fs::temp_directory_path() / ("maze_levels_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (size_t k = 0; k < levels.size(); k++) {
        fs::copy_file(fs::path(BUILD_DIR) / ("level" + std::to_string(levels[k]) + ".lvx"),
                      dir / ("level" + std::to_string(k + 1) + ".lvx"));
    }
    std::string command = "cd '" + dir.string() + "' && '" MAZEREPLAY "' '" LEVELS_SOURCE "/" + script +
                          "' --trace trace.jsonl 2>stderr.txt";
    int status = std::system(command.c_str());
    ReplayRun run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(dir / "trace.jsonl");
    for (std::string line; std::getline(in, line);) {
        json record = json::parse(line, nullptr, false);
        run.last = record;
        if (record.is_discarded() || !record.is_object()) {
            run.bad_lines++;
        } else if (record.contains("message_box")) {
            run.boxes.push_back(record["message_box"]);
        } else if (record.contains("frame")) {
            Frame f;
            f.level = record.at("level").get<int>();
            f.tick = record.at("tick").get<long>();
            f.done = record.at("level_done") == 1;
            f.failed = record.at("level_failed") == 1;
            f.closing = record.value("closing", false);
            f.texts = record.at("texts").get<std::vector<std::string>>();
            run.frames.push_back(f);
        } else if (!record.contains("exit")) {
            run.bad_lines++;
        }
    }
    fs::remove_all(dir);
    return run;
}

// Whether the frame shows an overlay text that starts with `start`.
bool shows(const Frame& f, const std::string& start)
{
    return std::any_of(f.texts.begin(), f.texts.end(), [&](const std::string& t) { return t.starts_with(start); });
}

// The frame indices at which a level ended, with their outcome.
std::vector<std::pair<int, bool>> endings(const ReplayRun& run)
{
    std::vector<std::pair<int, bool>> ends;
    for (const Frame& f : run.frames) {
        if (f.done && !f.closing) ends.push_back({f.level, f.failed});
    }
    return ends;
}

const Frame* closing_frame(const ReplayRun& run)
{
    for (const Frame& f : run.frames) {
        if (f.closing) return &f;
    }
    return nullptr;
}

}  // namespace

TEST(ShippedLevels, EachWinningScriptWinsItsLevel)
{
    for (int n = 1; n <= 4; n++) {
        std::string script = "level" + std::to_string(n) + "/win.script";
        ReplayRun run = replay("win" + std::to_string(n), {n}, script);
        EXPECT_EQ(run.exit_code, 0) << script;
        const json start_box = {{"caption", "hold 'yer hourses!"}, {"text", "Press ok to start the program"}};
        EXPECT_EQ(run.boxes, std::vector<json>{start_box}) << script;  // the only message box
        // Won in the last frame, with Escape held: the farewell follows at once.
        std::vector<std::pair<int, bool>> ends = endings(run);
        ASSERT_EQ(ends.size(), 1u) << script;
        EXPECT_EQ(ends[0], std::make_pair(1, false)) << script;
        const Frame* closing = closing_frame(run);
        ASSERT_NE(closing, nullptr) << script;
        EXPECT_EQ(closing->texts, std::vector<std::string>{"LIVE LONG AND PROSPER!"}) << script;
        EXPECT_EQ(run.bad_lines, 0) << script;
        EXPECT_EQ(run.last, (json{{"exit", 0}, {"frames", run.frames.size()}})) << script;
    }
}

TEST(ShippedLevels, LosingScriptsRestartTheLevelWithItsBanner)
{
    for (int n : {3, 4}) {
        std::string script = "level" + std::to_string(n) + "/lose.script";
        ReplayRun run = replay("lose" + std::to_string(n), {n}, script);
        EXPECT_EQ(run.exit_code, 0) << script;
        std::vector<std::pair<int, bool>> ends = endings(run);
        ASSERT_EQ(ends.size(), 1u) << script;
        EXPECT_EQ(ends[0], std::make_pair(1, true)) << script;

        // The level starts again (still level 1 here) under the failure banner, which
        // is gone once its three seconds are over.
        size_t lost = 0;
        while (!run.frames[lost].done) lost++;
        ASSERT_LT(lost + 1, run.frames.size()) << script;
        const Frame& restart = run.frames[lost + 1];
        EXPECT_EQ(restart.level, 1) << script;
        EXPECT_FALSE(restart.done) << script;
        EXPECT_EQ(restart.texts, std::vector<std::string>{"OOPS! TRY AGAIN, KIP!"}) << script;
        const Frame& before_end = run.frames[run.frames.size() - 2];
        EXPECT_FALSE(shows(before_end, "OOPS!")) << script;
        EXPECT_GT(before_end.tick - restart.tick, 3000) << script;
    }
}

TEST(ShippedLevels, OneRunWinsAllFourInARow)
{
    ReplayRun run = replay("all", {1, 2, 3, 4}, "all.script");
    EXPECT_EQ(run.exit_code, 0);
    std::vector<std::pair<int, bool>> ends = endings(run);
    std::vector<std::pair<int, bool>> expected = {{1, false}, {2, false}, {3, false}, {4, false}};
    EXPECT_EQ(ends, expected);
    const Frame* closing = closing_frame(run);
    ASSERT_NE(closing, nullptr);
    EXPECT_EQ(closing->level, 5);
    EXPECT_EQ(closing->texts, std::vector<std::string>{"CONGRATULATIONS! YOU DID IT!"});
    EXPECT_EQ(run.bad_lines, 0);
    EXPECT_EQ(run.last, (json{{"exit", 0}, {"frames", run.frames.size()}}));
    // Each level greets with its own number.
    for (int n = 2; n <= 4; n++) {
        bool greeted = false;
        for (const Frame& f : run.frames) {
            greeted = greeted || (f.level == n && shows(f, "WELCOME TO LEVEL " + std::to_string(n) + "!"));
        }
        EXPECT_TRUE(greeted) << n;
    }
}
