// mazereplay and maze run as programs in a fresh working directory: what each run exits
// with, says on stderr and traces, and which files it makes (no other file changes);
// outputs that stop being whole; a long script kept compactly. The shipped levels' scripts
// are replayed by the golden traces, and their outcomes checked by mazepilot as it makes
// them (shipped_levels_made_from_their_sources).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "e2e.h"

namespace {

using nlohmann::json;

// A command line as `env` takes it (settings, then maze or mazereplay from the build).
struct ProgramRun {
    std::string command;
    int status;
    std::string errors;      // stderr; each "..." stands for any text
    std::string trace = "";  // the trace t.jsonl in short (summary()), or "" when none is written
    std::string made = "";   // the other files and folders the run makes, by name; no other file changes
};

// maze on SDL's display-less driver; leak reports would come from the libraries SDL loads.
const std::string maze = "ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy maze --window ";
const std::string started = "box hold 'yer hourses!: Press ok to start the program | ",
                  failed = started + "box Fatal Error: Failed to load leveldata | exit 1";

// The shell's command line for a run in the working directory, its output into stdout.txt
// and stderr.txt. No installed levels take part; a hang ends as status 124.
std::string command_line(const std::string& command)
{
    return "exec timeout 120 env PATH='" BIN_DIR "':\"$PATH\" XDG_DATA_DIRS=/nonexistent " + command +
           " >stdout.txt 2>stderr.txt";
}

int run(const std::string& command)
{
    int status = std::system(command_line(command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether `text` is `pattern`, or ends with what follows its leading "...", or begins with
// what comes before its trailing "...".
bool matches(const std::string& text, const std::string& pattern)
{
    if (pattern.starts_with("...")) return text.ends_with(pattern.substr(3));
    if (pattern.ends_with("...")) return text.starts_with(pattern.substr(0, pattern.size() - 3));
    return text == pattern;
}

// A trace in short: its message boxes, what the frames show each time it changes (the
// level, the debug flags when any is on, the texts, a level's end won or lost, the
// closing message) and the exit, split by " | ".
std::string summary(const std::string& trace)
{
    std::string all, last;
    int frames = 0;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        json r = json::parse(line, nullptr, false);
        std::string s = "not a record: " + line;
        if (r.contains("message_box")) {
            s = "box " + r["message_box"]["caption"].get<std::string>() + ": " +
                r["message_box"]["text"].get<std::string>();
        } else if (r.contains("exit")) {
            s = "exit " + r["exit"].dump() + (r["frames"] == frames ? "" : " after frames " + r["frames"].dump());
        } else if (r.contains("frame") && r["frame"] == frames++) {
            s = r["level"].dump() + (r["debug_flags"] == 0 ? "" : " flags " + r["debug_flags"].dump());
            for (const auto& text : r["texts"]) s.append(" ").append(text.get<std::string>());
            if (r["level_done"] == 1) s += r["level_failed"] == 1 ? " lost" : " won";
            if (r.value("closing", false)) s += " closing";
        }
        if (s != last) all += (all.empty() ? "" : " | ") + s;
        last = s;
    }
    return all.empty() ? "(empty)" : all;
}

class Programs : public InFreshDir {
protected:
    // Every file and folder below the working directory with what a file holds (a folder
    // or fifo as "/"), but the run's stdout.txt, stderr.txt and t.jsonl.
    static std::map<std::string, std::string> tree()
    {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(".")) {
            std::string name = entry.path().lexically_relative(".").string();
            if (name != "stdout.txt" && name != "stderr.txt" && name != "t.jsonl")
                entries[name] = entry.is_regular_file() ? read(name) : "/";
        }
        return entries;
    }
    // Each run from the same files: what it writes is removed after it.
    static void check(const std::vector<ProgramRun>& runs)
    {
        for (const ProgramRun& r : runs) {
            SCOPED_TRACE(r.command);
            const auto before = tree();
            EXPECT_EQ(run(r.command), r.status);
            EXPECT_TRUE(matches(read("stderr.txt"), r.errors)) << read("stderr.txt");
            EXPECT_EQ(read("stdout.txt"), "");
            EXPECT_EQ(fs::exists("t.jsonl") ? summary(read("t.jsonl")) : "", r.trace);
            fs::remove("t.jsonl");
            std::string made, changed;
            for (const auto& [name, bytes] : tree()) {
                if (!before.contains(name)) made += (made.empty() ? "" : " ") + name;
                if (before.contains(name) && before.at(name) != bytes) changed += name + " ";
            }
            EXPECT_EQ(made, r.made);
            EXPECT_EQ(changed, "");
            for (const auto& [name, bytes] : tree())
                if (!before.contains(name)) fs::remove_all(name);
            EXPECT_EQ(tree(), before) << "a file removed";
        }
    }
};

// Refused before anything is written (2), or ended by the game's fatal error (1).
TEST_F(Programs, RefuseBeforeWritingAnything)
{
    for (const char* name : {"s.txt", "s2.txt"}) std::ofstream(name) << "10 0 0 - 01\n";
    std::ofstream("bad.txt") << "10 0 0 - -\n# fine\n20 0 0 Q -\n";
    std::ofstream("level1.lvx") << "not a level";
    std::ofstream("kept.txt") << "kept\n";
    std::ofstream("precious.script") << "precious\n";
    std::ofstream("mine.lvx") << "mine\n";
    fs::create_hard_link("s.txt", "link.txt");
    fs::create_directories("folder/empty");
    check({
        {"mazereplay s.txt --trace s.txt", 2, "mazereplay: the trace s.txt is the script itself..."},
        {"mazereplay s.txt --trace link.txt", 2, "mazereplay: the trace link.txt is the script itself..."},
        {"mazereplay folder --trace t.jsonl", 2, "mazereplay: folder: cannot read folder: Is a directory..."},
        {"mazereplay s.txt --trace level1.lvx", 2,
         "mazereplay: the trace level1.lvx is a level file the run reads: level1.lvx; it would be overwritten\n..."},
        {"mazereplay s.txt --play s2.txt --trace s2.txt", 2,
         "mazereplay: the trace s2.txt is a level file the run reads: s2.txt..."},
        {"mazereplay s.txt --trace t.jsonl --trace u.jsonl", 2, "mazereplay: given twice: --trace\n..."},
        {"mazereplay s.txt --trace - --benchmark", 2,
         "mazereplay: --benchmark prints its figures to standard output..."},
        {"mazereplay s.txt --trace stdout.txt --benchmark", 2,
         "mazereplay: --benchmark prints its figures to standard output..."},
        {"mazereplay bad.txt --trace t.jsonl --frames 0 --frames-dir d", 2,
         "mazereplay: bad.txt: script line 3: BUTTONS must be -, L, R or LR..."},
        {"mazereplay missing.txt --trace t.jsonl", 2,
         "mazereplay: missing.txt: cannot open missing.txt: No such file or directory\n"},
        {"mazereplay --trace t.jsonl", 2, "mazereplay: no script given\nusage: mazereplay..."},
        {"mazereplay s.txt --trace", 2, "mazereplay: missing value after --trace\nusage: mazereplay..."},
        {"mazereplay s.txt --trace t.jsonl --speed 2", 2, "mazereplay: unknown option --speed\nusage: mazereplay..."},
        {"mazereplay s.txt --trace t.jsonl --frames 1,x --frames-dir d", 2,
         "mazereplay: --frames needs frame numbers like 0,10,25, not 1,x\nusage: mazereplay..."},
        {"mazereplay s.txt --trace t.jsonl --frames 1", 2,
         "mazereplay: --frames and --frames-dir go together\nusage: mazereplay..."},
        {"mazereplay s.txt bad.txt --trace t.jsonl", 2,
         "mazereplay: more than one script: bad.txt\nusage: mazereplay..."},
        // The game's level options, refused as the game refuses them.
        {"mazereplay s.txt --trace t.jsonl --level 5", 2,
         "mazereplay: --level must be 1 to 4, not 5\nusage: mazereplay..."},
        {"mazereplay s.txt --trace t.jsonl --play a.lvx --levels sub", 2,
         "mazereplay: --play names the only level; it does not go with --levels\n..."},
        {"mazereplay s.txt --trace t.jsonl --levels", 2, "mazereplay: missing value after --levels\n..."},
        // maze refuses outputs it cannot write, or that are one another or an input,
        // before its start box.
        {maze + "--record folder/no/r.script", 2,
         "maze: cannot write the recording folder/no/r.script: No such file or directory\n"},
        {maze + "--trace folder", 2, "maze: cannot write the trace folder: Is a directory\n"},
        {maze + "--record kept.txt --trace ./kept.txt", 2,
         "maze: --record and --trace name the same file ./kept.txt\n"},
        {maze + "--record precious.script --trace folder/no/t.jsonl", 2,
         "maze: cannot write the trace folder/no/t.jsonl: No such file or directory\n"},
        {maze + "--record new.script --trace folder", 2, "maze: cannot write the trace folder: Is a directory\n"},
        {maze + "--record level1.lvx", 2,
         "maze: the recording level1.lvx is the level file level1.lvx, which the game reads\n"},
        {maze + "--play mine.lvx --trace ./mine.lvx", 2,
         "maze: the trace ./mine.lvx is the level file mine.lvx, which the game reads\n"},
        {maze + "--record - --trace -", 2, "maze: --record and --trace name the same file -\n"},
        {maze + "--record /dev/stdout --trace -", 2, "maze: --record and --trace name the same file -\n"},
        {"MAZE_FRAME_LOG=kept.txt " + maze + "--record kept.txt", 2,
         "maze: MAZE_FRAME_LOG names the recording kept.txt\n"},
        {"MAZE_FRAME_LOG=./precious.script " + maze + "--trace precious.script", 2,
         "maze: MAZE_FRAME_LOG names the trace precious.script\n"},
        {"MAZE_FRAME_LOG=level1.lvx " + maze + "--solid", 2,
         "maze: MAZE_FRAME_LOG names the level file level1.lvx, which the game reads\n"},
        // A level file that is no level, and none at all: the game's fatal error.
        {"mazereplay s.txt --trace t.jsonl", 1,
         "mazereplay: Fatal Error: Failed to load leveldata (level1.lvx: not a level file (too short, or too many "
         "entities))\n",
         failed},
    });
    fs::remove("level1.lvx");
    check({{"mazereplay s.txt --trace t.jsonl", 1, "mazereplay: level1.lvx was not found; looked in:\n...", failed}});
}

// Whole runs: the recording's options and the level options, scripts cut short or with a
// byte order mark, the pictures asked for, and files that cannot be read or written.
TEST_F(Programs, ReplayWhatTheyAreAskedFor)
{
    for (int n = 1; n <= 4; n++) {
        std::string name = "level" + std::to_string(n) + ".lvx";
        fs::copy_file(fs::path(LEVELS_DIR) / name, name);
    }
    fs::create_directories("lv");
    fs::copy_file("level2.lvx", "lv/level2.lvx");
    fs::create_directories("sub");
    for (auto [name, kind] : {std::pair{"sub/level2.lvx", TestLevel::goal}, {"sub/level3.lvx", TestLevel::plain},
                              {"won.lvx", TestLevel::goal}, {"lost.lvx", TestLevel::wanderer}})
        ASSERT_TRUE(write_test_level(name, kind));
    std::ofstream("solid2.txt") << "# maze --record\noptions --solid --level 2\n10 0 0 - -\n20 0 0 - 01\n";
    std::ofstream("bogus.txt") << "\n# made by hand\noptions --bogus\n10 0 0 - 01\n";
    std::ofstream("level9.txt") << "options --level 9\n10 0 0 - 01\n";
    std::ofstream("two.txt") << "100 0 0 - -\n200 0 0 - -\n";
    std::ofstream("one.txt") << "100 0 0 - -\n";
    // Print Screen (B7) held over two frames: one picture, when it is let go.
    const std::string shot = "16 0 0 - -\n32 0 0 - B7\n48 0 0 - B7\n64 0 0 - -\n80 0 0 - 01\n";
    std::ofstream("shot.txt") << shot;
    std::ofstream("bom.txt") << "\xEF\xBB\xBF" << shot;
    std::ofstream("cut.txt") << "16 0 0 - -\n32 0 0 - 3";
    fs::create_directories("shots");
    std::ofstream("shots/maze_0000.png").close();  // the first number taken
    for (const char* name : {"taken/frame_000000.png", "taken/frame_000001.png", "taken/frame_000002.png"})
        fs::create_directories(name);  // a folder where each frame would go: every write fails
    std::ofstream("fifo.txt") << "options --play fifo.lvx\n10 0 0 - 01\n";
    ASSERT_EQ(mkfifo("fifo.lvx", 0666), 0);
    fs::create_directories("fifos");
    ASSERT_EQ(mkfifo("fifos/level1.lvx", 0666), 0);
    check({
        {"mazereplay solid2.txt --trace t.jsonl", 0, "",
         started + "2 flags 4096 WELCOME TO LEVEL 2! | 3 flags 4096 LIVE LONG AND PROSPER! closing | exit 0"},
        {"mazereplay solid2.txt --trace t.jsonl --level 1", 0,
         "mazereplay: solid2.txt: the command line's level options replace the script's --level 2\n",
         started + "1 flags 4096 WELCOME TO LEVEL 1! | 2 flags 4096 LIVE LONG AND PROSPER! closing | exit 0"},
        // --levels changes where the files are, not which level the recording began at.
        {"mazereplay solid2.txt --trace t.jsonl --levels lv", 0, "",
         started + "2 flags 4096 WELCOME TO LEVEL 2! | 3 flags 4096 LIVE LONG AND PROSPER! closing | exit 0"},
        {"mazereplay solid2.txt --trace t.jsonl --play lv/level2.lvx", 0,
         "mazereplay: solid2.txt: the command line's level options replace the script's --level 2\n",
         started + "1 flags 4096 WELCOME TO LEVEL 1! | 2 flags 4096 LIVE LONG AND PROSPER! closing | exit 0"},
        {"mazereplay bogus.txt --trace t.jsonl", 2,
         "mazereplay: bogus.txt: script line 3: options: unknown option --bogus\n"},
        {"mazereplay level9.txt --trace t.jsonl", 2,
         "mazereplay: level9.txt: script line 1: options: --level must be 1 to 4..."},
        // Level 2 from sub/ is won, level 3 is ended by the script's Escape.
        {"mazereplay two.txt --levels sub --level 2 --trace t.jsonl", 0, "",
         started + "2 WELCOME TO LEVEL 2! won | 3 WELCOME TO LEVEL 3! | 4 LIVE LONG AND PROSPER! closing | exit 0"},
        // No level1.lvx in sub/: the usual failure.
        {"mazereplay one.txt --levels sub --trace t.jsonl", 1,
         "mazereplay: level1.lvx is missing from sub (given with --levels)\n"
         "mazereplay: Fatal Error: Failed to load leveldata (sub/level1.lvx: No such file or directory)\n",
         failed},
        // A won --play level ends the game with the congratulation; a lost one is loaded
        // again (and lost again), until Escape.
        {"mazereplay one.txt --play won.lvx --trace t.jsonl", 0, "",
         started + "1 WELCOME TO LEVEL 1! won | 2 CONGRATULATIONS! YOU DID IT! won closing | exit 0"},
        {"mazereplay two.txt --play lost.lvx --trace t.jsonl", 0, "",
         started + "1 WELCOME TO LEVEL 1! lost | 1 OOPS! TRY AGAIN, KIP! lost | exit 0"},
        {"mazereplay one.txt --play missing.lvx --trace t.jsonl", 1,
         "mazereplay: cannot find the level file missing.lvx (given with --play)\n"
         "mazereplay: Fatal Error: Failed to load leveldata (missing.lvx: No such file or directory)\n",
         failed},
        // A replay writes nothing it is not asked for; pictures go into --frames-dir only.
        {"mazereplay shot.txt", 0, ""},
        {"mazereplay bom.txt", 0, ""},
        {"mazereplay shot.txt --frames 0,2 --frames-dir shots", 0, "Print Screen: saved shots/maze_0001.png\n", "",
         "shots/frame_000000.png shots/frame_000002.png shots/maze_0001.png"},
        {"mazereplay shot.txt --frames 1 --frames-dir new", 0, "Print Screen: saved new/maze_0000.png\n", "",
         "new new/frame_000001.png new/maze_0000.png"},
        {"mazereplay cut.txt", 0,
         "mazereplay: cut.txt: script line 2 has no newline at its end; the file may be cut short there\n"},
        {"mazereplay shot.txt --frames 0,1,2 --frames-dir taken", 1,
         "mazereplay: cannot write taken/frame_000000.png (Is a directory); no more frames are written\n"
         "Print Screen: saved taken/maze_0000.png\n",
         "", "taken/maze_0000.png"},
        // No run waits on a fifo, or runs without a display.
        {"mazereplay shot.txt --play fifo.lvx", 1, "...Failed to load leveldata (fifo.lvx: not a regular file)\n"},
        {"mazereplay fifo.txt", 1, "...Failed to load leveldata (fifo.lvx: not a regular file)\n"},
        {"mazereplay shot.txt --levels fifos", 1,
         "...Failed to load leveldata (fifos/level1.lvx: not a regular file)\n"},
        {maze + "--play fifo.lvx", 1, "...Fatal Error: Failed to load leveldata\n"},
        {"env -u DISPLAY -u WAYLAND_DISPLAY ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER= maze --window", 1,
         "...(video: no display to show a window on)\n"},
    });
}

// maze ends with 1 when its recording or trace is not whole, and says so.
TEST_F(Programs, MazeEndsWith1WhenAnOutputIsNotWhole)
{
    // SDL's dummy driver shows no box: the start box's text goes to stderr instead.
    const std::string box = "hold 'yer hourses!: Press ok to start the program\n";
    const struct {
        const char* name;
        std::string arguments;
        const char* watched;  // the recording, waited for until it holds a frame
        int status;
        std::string errors;
    } cases[] = {
        {"both whole", "--record r.script --trace t.jsonl", "r.script", 0, box},
        {"trace on a full disk", "--record r.script --trace /dev/full", "r.script", 1,
         "maze: the trace /dev/full could not be written (No space left on device); nothing more goes into it\n" + box},
        // The folder is removed once the recording holds a frame.
        {"recording's folder removed", "--record gone/r.script", "gone/r.script", 1,
         box + "maze: the recording gone/r.script was removed (its folder with it?); what is written from here on is "
               "lost\n"},
    };
    auto has_frame_line = [](const char* name) {
        return read(name).find("\n1") != std::string::npos || read(name).find("\n2") != std::string::npos;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories("gone");
        fs::remove(c.watched);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command_line(maze + "--levels " LEVELS_DIR " " + c.arguments).c_str(),
                  nullptr);
            _exit(127);
        }
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        int status = 0;
        pid_t ended = 0;
        while (!has_frame_line(c.watched) && !(ended = waitpid(pid, &status, WNOHANG)) &&
               std::chrono::steady_clock::now() < limit)
            usleep(20000);
        EXPECT_TRUE(has_frame_line(c.watched));
        fs::remove_all("gone");
        if (!ended) {  // closed as by the window's close button
            kill(pid, SIGTERM);
            waitpid(pid, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status;
        EXPECT_EQ(read("stderr.txt"), c.errors);
    }
}

// What a long script's lines add to the process's peak size, per line, measured against a
// one-line script (no level files: the game ends at once).
TEST_F(Programs, KeepOneCompactCopyOfALongScript)
{
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
        if (pid == 0) _exit(run(std::string("mazereplay ") + script));
        int status = 0;
        struct rusage usage = {};
        wait4(pid, &status, 0, &usage);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << script;
        return static_cast<long>(usage.ru_maxrss);
    };
    long base = peak_kilobytes("short.txt"), full = peak_kilobytes("long.txt");
    EXPECT_LE((full - base) * 1024 / lines, 100)
        << "kilobytes: " << base << " for one line, " << full << " for " << lines;
}

}  // namespace
