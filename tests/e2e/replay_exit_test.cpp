// mazereplay's exit status and refusals: an output that is its own input, a script that
// cannot be read, and the game's own fatal end; maze's refusal of files it cannot write,
// or that are one another or an input; no run that hangs, and no output lost unsaid.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
    static int run(const char* program, const std::string& arguments, const std::string& environment = "")
    {
        // Appended piece by piece: GCC 12 warns falsely about `"'" + std::string`.
        // No installed levels take part: the level search sees only the working directory.
        std::string command = "XDG_DATA_DIRS=/nonexistent " + environment + " '";
        command += program;
        command += "' ";
        command += arguments;
        command += " >stdout.txt 2>stderr.txt";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static int replay(const std::string& arguments) { return run(MAZEREPLAY, arguments); }
    static bool has_frame_line(const char* name)
    {
        std::string text = read(name);
        return text.find("\n1") != std::string::npos || text.find("\n2") != std::string::npos;
    }
};

TEST_F(ReplayExit, RefusesToOverwriteItsScriptAndNamesAnUnreadableOne)
{
    const std::string script = "10 0 0 - 01\n";
    std::ofstream("s.txt") << script;
    std::ofstream("s2.txt") << script;
    std::ofstream("level1.lvx") << "not read";
    std::ofstream("bad.txt") << "x\n";
    fs::create_hard_link("s.txt", "link.txt");
    const std::string cases[][3] = {  // arguments, exit status, the message's start
        {"s.txt --trace s.txt", "2", "mazereplay: the trace s.txt is the script itself"},
        {"s.txt --trace ./folder/../s.txt", "2", "mazereplay: the trace ./folder/../s.txt is the script itself"},
        {"s.txt --trace link.txt", "2", "mazereplay: the trace link.txt is the script itself"},
        {"folder --trace t.jsonl", "2", "mazereplay: folder: cannot read folder: Is a directory"},
        {"s.txt --trace level1.lvx", "2",
         "mazereplay: the trace level1.lvx is a level file the run reads: level1.lvx; it would be overwritten\n"},
        {"s.txt --play s2.txt --trace s2.txt", "2", "mazereplay: the trace s2.txt is a level file the run reads: s2.txt"},
        {"s.txt --trace t.jsonl --trace u.jsonl", "2", "mazereplay: given twice: --trace\n"},
        {"s.txt --frames 1 --frames 2 --frames-dir d", "2", "mazereplay: given twice: --frames\n"},
        {"s.txt --trace - --benchmark", "2", "mazereplay: --benchmark prints its figures to standard output"},
        {"s.txt --trace stdout.txt --benchmark", "2", "mazereplay: --benchmark prints its figures to standard output"},
        {"bad.txt --frames 0 --frames-dir d", "2", "mazereplay: bad.txt: script line 1: "},
        // No level files: the game's "Failed to load leveldata" ends it with 1.
        {"s.txt --trace t.jsonl", "1", ""},
    };
    for (const auto& [arguments, status, message] : cases) {
        EXPECT_EQ(replay(arguments), std::stoi(status)) << arguments;
        EXPECT_TRUE(read("stderr.txt").starts_with(message)) << arguments << ": " << read("stderr.txt");
        EXPECT_EQ(read("s.txt"), script) << arguments;
        EXPECT_EQ(read("s2.txt"), script) << arguments;
        EXPECT_EQ(read("level1.lvx"), "not read") << arguments;
        EXPECT_FALSE(fs::exists("d")) << arguments << ": the frames directory is made only for a run";
        EXPECT_FALSE(fs::exists("u.jsonl")) << arguments;
        if (status == "2") {
            EXPECT_EQ(read("stdout.txt").find("\"frame\""), std::string::npos) << arguments;
        }
    }
    fs::remove("level1.lvx");
    ASSERT_EQ(replay("s.txt --trace t.jsonl"), 1);
    EXPECT_TRUE(read("stderr.txt").starts_with("mazereplay: level1.lvx was not found; looked in:\n"))
        << read("stderr.txt");
    EXPECT_TRUE(read("stderr.txt").ends_with(
        "mazereplay: Fatal Error: Failed to load leveldata (level1.lvx: No such file or directory)\n"));
    EXPECT_EQ(read("t.jsonl"),
              "{\"message_box\":{\"caption\":\"hold 'yer hourses!\",\"text\":\"Press ok to start the program\"}}\n"
              "{\"message_box\":{\"caption\":\"Fatal Error\",\"text\":\"Failed to load leveldata\"}}\n"
              "{\"exit\":1,\"frames\":0}\n");
}

TEST_F(ReplayExit, TakesTheRecordingsOptionsUnlessItsCommandLineReplacesThem)
{
    fs::copy_file(fs::path(LEVELS_DIR) / "level1.lvx", "level1.lvx");
    fs::copy_file(fs::path(LEVELS_DIR) / "level2.lvx", "level2.lvx");
    fs::create_directories("lv");
    fs::copy_file(fs::path(LEVELS_DIR) / "level2.lvx", "lv/level2.lvx");
    std::ofstream("solid2.txt") << "# maze --record\noptions --solid --level 2\n10 0 0 - -\n20 0 0 - 01\n";
    std::ofstream("bogus.txt") << "\n# made by hand\noptions --bogus\n10 0 0 - 01\n";
    std::ofstream("level9.txt") << "options --level 9\n10 0 0 - 01\n";
    const std::string cases[][4] = {  // arguments, exit status, the first frame's "level,debug_flags", stderr
        {"solid2.txt --trace t.jsonl", "0", "2,4096", ""},
        {"solid2.txt --trace t.jsonl --level 1", "0", "1,4096",
         "mazereplay: solid2.txt: the command line's level options replace the script's --level 2\n"},
        // --levels changes where the files are, not which level the recording began at.
        {"solid2.txt --trace t.jsonl --levels lv", "0", "2,4096", ""},
        {"solid2.txt --trace t.jsonl --play lv/level2.lvx", "0", "1,4096",
         "mazereplay: solid2.txt: the command line's level options replace the script's --level 2\n"},
        {"bogus.txt --trace t.jsonl", "2", "",
         "mazereplay: bogus.txt: script line 3: options: unknown option --bogus\n"},
        {"level9.txt --trace t.jsonl", "2", "", "mazereplay: level9.txt: script line 1: options: --level must be 1 to 4"},
    };
    for (const auto& [arguments, status, expected, message] : cases) {
        fs::remove("t.jsonl");
        EXPECT_EQ(replay(arguments), std::stoi(status)) << arguments << ": " << read("stderr.txt");
        EXPECT_TRUE(read("stderr.txt").starts_with(message)) << arguments << ": " << read("stderr.txt");
        if (status != "0") {
            EXPECT_FALSE(fs::exists("t.jsonl")) << arguments;
            continue;
        }
        EXPECT_EQ(read("stderr.txt"), message) << arguments;
        std::string trace = read("t.jsonl");
        std::string frame = trace.substr(trace.find("{\"frame\":0,"));
        std::string level = frame.substr(frame.find("\"level\":") + 8, 1);
        std::string flags = frame.substr(frame.find("\"debug_flags\":") + 14, 4);
        EXPECT_EQ(level + "," + flags, expected) << arguments;
    }
}

TEST_F(ReplayExit, ReplaysWarnOfCutScriptsAndWriteNothingUnasked)
{
    for (int n = 1; n <= 4; n++) {
        std::string name = "level" + std::to_string(n) + ".lvx";
        fs::copy_file(fs::path(LEVELS_DIR) / name, name);
    }
    // Print Screen (B7) held in one frame and released in the next.
    const std::string shot = "16 0 0 - -\n32 0 0 - B7\n48 0 0 - -\n64 0 0 - 01\n";
    std::ofstream("shot.txt") << shot;
    std::ofstream("bom.txt") << "\xEF\xBB\xBF" << shot;
    std::ofstream("cut.txt") << "16 0 0 - -\n32 0 0 - 3";
    fs::create_directories("taken");
    for (const char* name : {"taken/frame_000000.png", "taken/frame_000001.png", "taken/frame_000002.png"})
        fs::create_directories(name);  // a folder where each frame would go: every write fails
    const std::string all = "bom.txt cut.txt level1.lvx level2.lvx level3.lvx level4.lvx shot.txt stderr.txt stdout.txt";
    const std::string cases[][4] = {  // arguments, exit status, stderr, the files then in the working directory
        {"shot.txt", "0", "", all},
        {"bom.txt", "0", "", all},
        {"shot.txt --frames 999 --frames-dir shots", "0", "Print Screen: saved shots/maze_0000.png\n",
         "maze_0000.png"},  // in shots
        {"cut.txt", "0",
         "mazereplay: cut.txt: script line 2 has no newline at its end; the file may be cut short there\n", ""},
        {"shot.txt --frames 0,1,2 --frames-dir taken", "1",
         "mazereplay: cannot write taken/frame_000000.png (Is a directory); no more frames are written\n"
         "Print Screen: saved taken/maze_0000.png\n",
         ""},
    };
    for (const auto& [arguments, status, message, files] : cases) {
        EXPECT_EQ(replay(arguments), std::stoi(status)) << arguments;
        EXPECT_EQ(read("stderr.txt"), message) << arguments;
        if (files.empty()) continue;
        std::string listed;
        std::vector<std::string> names;
        fs::path where = arguments.find("shots") != std::string::npos ? "shots" : ".";
        for (const auto& entry : fs::directory_iterator(where))
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) listed += (listed.empty() ? "" : " ") + name;
        EXPECT_EQ(listed, files) << arguments;
    }
}

TEST_F(ReplayExit, MazeRefusesOutputsBeforeEmptyingAnyOfThem)
{
    // No display is needed: the game must not get as far as its start box.
    std::ofstream("kept.txt") << "kept\n";
    std::ofstream("precious.script") << "precious\n";
    std::ofstream("level1.lvx") << "level\n";
    std::ofstream("mine.lvx") << "mine\n";
    const std::string cases[][3] = {  // arguments, environment, the message
        {"--record folder/no/r.script", "",
         "maze: cannot write the recording folder/no/r.script: No such file or directory\n"},
        {"--trace folder", "", "maze: cannot write the trace folder: Is a directory\n"},
        {"--record kept.txt --trace ./kept.txt", "", "maze: --record and --trace name the same file ./kept.txt\n"},
        {"--record precious.script --trace folder/no/t.jsonl", "",
         "maze: cannot write the trace folder/no/t.jsonl: No such file or directory\n"},
        {"--record new.script --trace folder", "", "maze: cannot write the trace folder: Is a directory\n"},
        {"--record level1.lvx", "", "maze: the recording level1.lvx is the level file level1.lvx, which the game reads\n"},
        {"--play mine.lvx --trace ./mine.lvx", "",
         "maze: the trace ./mine.lvx is the level file mine.lvx, which the game reads\n"},
        {"--record - --trace -", "", "maze: --record and --trace name the same file -\n"},
        {"--record /dev/stdout --trace -", "", "maze: --record and --trace name the same file -\n"},
        {"--record kept.txt", "MAZE_FRAME_LOG=kept.txt", "maze: MAZE_FRAME_LOG names the recording kept.txt\n"},
        {"--trace precious.script", "MAZE_FRAME_LOG=./precious.script",
         "maze: MAZE_FRAME_LOG names the trace precious.script\n"},
        {"--solid", "MAZE_FRAME_LOG=level1.lvx", "maze: MAZE_FRAME_LOG names the level file level1.lvx, which the game reads\n"},
    };
    for (const auto& [arguments, environment, message] : cases) {
        EXPECT_EQ(run(MAZE, "--window " + arguments, environment), 2) << arguments;
        EXPECT_EQ(read("stderr.txt"), message) << arguments;
        EXPECT_EQ(read("stdout.txt"), "") << arguments;
        EXPECT_EQ(read("kept.txt"), "kept\n") << arguments;
        EXPECT_EQ(read("precious.script"), "precious\n") << arguments;
        EXPECT_EQ(read("level1.lvx"), "level\n") << arguments;
        EXPECT_EQ(read("mine.lvx"), "mine\n") << arguments;
        EXPECT_FALSE(fs::exists("new.script")) << arguments << ": a file made by the refused run stays";
    }
    EXPECT_FALSE(fs::exists("folder/no"));
}

TEST_F(ReplayExit, NoRunWaitsOnAFifoOrRunsWithoutADisplay)
{
    const std::string script = "10 0 0 - 01\n";
    std::ofstream("s.txt") << script;
    std::ofstream("opts.txt") << "options --play fifo.lvx\n" << script;
    ASSERT_EQ(mkfifo("fifo.lvx", 0666), 0);
    fs::create_directories("fifos");
    ASSERT_EQ(mkfifo("fifos/level1.lvx", 0666), 0);
    // A generous bound: a hang ends as status 124 instead of holding up the suite.
    const std::string bounded = "timeout 120";
    // Leak reports here would come from the X11 and driver libraries SDL loads.
    const std::string dummy = "ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " + bounded;
    const std::string no_display =
        "env -u DISPLAY -u WAYLAND_DISPLAY ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER= " + bounded;
    const std::string cases[][4] = {  // program, arguments, environment, what stderr holds
        {MAZEREPLAY, "s.txt --play fifo.lvx", bounded, "(fifo.lvx: not a regular file)"},
        {MAZEREPLAY, "opts.txt", bounded, "(fifo.lvx: not a regular file)"},
        {MAZEREPLAY, "s.txt --levels fifos", bounded, "(fifos/level1.lvx: not a regular file)"},
        {MAZE, "--window --play fifo.lvx", dummy, "Fatal Error: Failed to load leveldata"},
        {MAZE, "--window", no_display, "no display to show a window on"},
    };
    for (const auto& [program, arguments, environment, message] : cases) {
        EXPECT_EQ(run(program.c_str(), arguments, environment), 1) << program << " " << arguments;
        EXPECT_NE(read("stderr.txt").find(message), std::string::npos) << arguments << ": " << read("stderr.txt");
    }
}

TEST_F(ReplayExit, MazeEndsWith1WhenAnOutputIsNotWhole)
{
    // The game runs on SDL's display-less driver; SIGTERM closes it as a window close does.
    const struct {
        const char* name;
        std::string arguments;
        const char* watched;  // the recording, waited for until it holds a frame
        const char* removed;  // a folder removed then, or null
        int status;
        const char* message;
    } cases[] = {
        {"both whole", "--record r.script --trace t.jsonl", "r.script", nullptr, 0, ""},
        {"trace on a full disk", "--record r.script --trace /dev/full", "r.script", nullptr, 1,
         "maze: the trace /dev/full could not be written (No space left on device); nothing more goes into it\n"},
        {"recording's folder removed", "--record gone/r.script", "gone/r.script", "gone", 1,
         "maze: the recording gone/r.script was removed (its folder with it?); what is written from here on is "
         "lost\n"},
    };
    for (int n = 1; n <= 4; n++) {
        std::string name = "level" + std::to_string(n) + ".lvx";
        fs::copy_file(fs::path(LEVELS_DIR) / name, name);
    }
    for (const auto& c : cases) {
        fs::create_directories("gone");
        fs::remove(c.watched);
        std::string command = "exec env ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy '";
        command += MAZE;
        command += "' --window " + c.arguments + " >stdout.txt 2>stderr.txt";
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        int status = 0;
        bool ended = false;
        while (!has_frame_line(c.watched) && !ended && std::chrono::steady_clock::now() < limit) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            usleep(20000);
        }
        EXPECT_TRUE(has_frame_line(c.watched)) << c.name;
        if (c.removed) fs::remove_all(c.removed);
        if (!ended) {
            kill(pid, SIGTERM);
            waitpid(pid, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status)) << c.name;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.name;
        std::string errors = read("stderr.txt");
        // SDL's dummy driver shows no box: the start box's text goes to stderr instead.
        const std::string box = "hold 'yer hourses!: Press ok to start the program\n";
        if (errors.find(box) != std::string::npos) errors.erase(errors.find(box), box.size());
        EXPECT_EQ(errors, c.message) << c.name;
    }
}

TEST_F(ReplayExit, KeepsOneCompactCopyOfALongScript)
{
    // Measured on the whole process (no level files: the game ends at once), against a
    // one-line script: what the script's lines add, per line.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine make the process's size no measure";
#endif
    constexpr long lines = 2000000;
    {
        std::ofstream out("long.txt");
        for (long n = 0; n < lines; n++) out << "10 0 0 - -\n";
        std::ofstream("short.txt") << "10 0 0 - -\n";
    }
    auto peak_kilobytes = [](const char* script) {
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(MAZEREPLAY, MAZEREPLAY, script, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage = {};
        wait4(pid, &status, 0, &usage);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << script;
        return static_cast<long>(usage.ru_maxrss);
    };
    long base = peak_kilobytes("short.txt");
    long full = peak_kilobytes("long.txt");
    EXPECT_LE((full - base) * 1024 / lines, 100) << "kilobytes: " << base << " for one line, " << full << " for "
                                                 << lines;
}

}  // namespace
