// mazec run in scratch folders and on a full disk; the built mazec, mazedump and levelgen
// run on the shipped levels, crafted level files and hostile maps.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "compiler/compiler.h"
#include "render/png_writer.h"
#include "world/rules.h"
#include "world/world.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

static std::string repeat(const std::string& line, int n)
{
    std::string s;
    while (n-- > 0) s += line + "\n";
    return s;
}

static std::string grid_lines(int n) { return repeat("00000000", n); }

// Spinner steps number `first` .. `first + n - 1` of one run.
static std::string spins(int first, int n)
{
    std::string s;
    for (int i = first; i < first + n; i++) s += std::string("\b") + "-/|\\"[i % 4];
    return s;
}

// The file's bytes, or "<absent>", or "<directory>".
static std::string read_file(const std::string& path)
{
    if (fs::is_directory(path)) return "<directory>";
    std::ifstream f(path, std::ios::binary);
    return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<absent>";
}

static void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The other way round: "<directory>" makes a folder at `path`, "<absent>" nothing.
static void put(const std::string& path, const std::string& text)
{
    if (text == "<directory>") fs::create_directory(path);
    else if (text != "<absent>") write_file(path, text);
}

// Every scratch file lives in one folder of this process (test cases run as parallel
// processes), removed when the tests end.
static const std::string scratch_root = ::testing::TempDir() + "mazec_" + std::to_string(getpid()) + "/";
struct RemoveScratch : ::testing::Environment {
    void TearDown() override { fs::remove_all(scratch_root); }
};
static auto* const remove_scratch = ::testing::AddGlobalTestEnvironment(new RemoveScratch);

// An empty folder of this process alone.
static std::string scratch(const std::string& name)
{
    std::string dir = scratch_root + name + "/";
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

static long file_count(const std::string& dir) { return std::distance(fs::directory_iterator(dir), {}); }

struct Inputs {  // "<absent>" leaves the file out
    std::string layer1 = grid_lines(4096), layer2 = grid_lines(4096), entity = "", colors = repeat("1 2 3", 4096);
};

struct Result { int code; std::string out, level, err; };  // level: level.lvx afterwards

// The four input files in `dir`.
static void put_inputs(const std::string& dir, const Inputs& in)
{
    for (auto [name, text] : {std::pair{"layer1.txt", in.layer1}, {"layer2.txt", in.layer2},
                              {"entity.txt", in.entity}, {"colors.txt", in.colors}})
        put(dir + name, text);
}

// mazec in a folder of `in` with `before` as level.lvx, or the compile routine writing to a
// `level` stream there. Nothing may be left behind but a new level.
static Result mazec(const Inputs& in, const std::string& before = "<absent>", std::FILE* level = nullptr)
{
    const std::string dir = scratch("run"), path = dir + "level.lvx", temp = path + ".tmp";
    put_inputs(dir, in);
    put(path, before);
    const long files = file_count(dir);
    if (level) write_file(temp, "");
    auto open = [&](const char* name) { return std::fopen((dir + name).c_str(), "r"); };
    const std::string out_path = scratch_root + "out", err_path = scratch_root + "err";
    std::FILE *out = std::fopen(out_path.c_str(), "w"), *err = std::fopen(err_path.c_str(), "w");
    const int code = level ? compile_level({open("layer1.txt"), open("layer2.txt"), open("entity.txt"),
                                            open("colors.txt"), level, temp.c_str(), path.c_str()}, out)
                           : mazec_main(dir.c_str(), out, err);
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(file_count(dir), files + (code == 0 && before == "<absent>")) << "no file added or left behind";
    return {code, read_file(out_path), read_file(path), read_file(err_path)};
}

// Runs a shell command with its output dropped; returns its exit code, its stderr in `err`.
static int run(const std::string& command, std::string* err = nullptr)
{
    std::string err_path = scratch_root + "stderr";
    int status = std::system(("{ " + command + "; } >/dev/null 2>'" + err_path + "'").c_str());
    if (err) *err = read_file(err_path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Dumps `level` to text, recompiles the text and returns the new bytes.
static std::string round_trip(const std::string& name, const std::string& level, std::string* err)
{
    std::string dir = scratch(name);
    write_file(dir + "in.lvx", level);
    EXPECT_EQ(run("cd '" + dir + "' && '" MAZEDUMP_PATH "' -o text in.lvx && cd text && '" MAZEC_PATH "'", err), 0) << name;
    return read_file(dir + "text/level.lvx");
}

// The offset of the grid record of a square in a level file.
static size_t cell(int row, int col) { return static_cast<size_t>(row * 64 + col) * LEVEL_CELL_RECORD_SIZE; }

const std::string start = "skelvic level compiler v0.32\ncompiling levels ?";
const std::string type_error = "error: input files not of required type.\n", failed = "\bfailed.\n" + type_error;

// Whole runs of mazec: a success prints every spinner step and writes the level; a failure
// prints its message and leaves level.lvx as it was. Warnings go to stderr only.
TEST(Mazec, Runs)
{
    // The same colours a square a line and all on one line.
    std::string colors[2];
    for (int k = 0; k < 4096; k++) colors[0] += std::to_string(k % 300) + " " + std::to_string(256 + k % 7) + " -1\n";
    for (char c : colors[0]) colors[1] += c == '\n' ? ' ' : c;
    const std::string rest = grid_lines(4094), letter = "0 5 5 0 0 0 0 0 0 0\n1 x 3\n";
    const std::string open_error = "skelvic level compiler v0.32\nerror: could not open files.\n"
                                   "required input files: layer1.txt layer2.txt entity.txt colors.txt\n";
    const std::string w = "mazec: layer1.txt:", short_line = " characters, not 8: the characters after it complete it\n";
    const std::string long_line = ": warning: a line of 16 characters, not 8: those after the eighth are read as the "
                                  "next line\n",
                      not_number = "\" does not read as a number: the entities from here on are not what this file says\n";
    std::string ten_long;  // at most ten warnings a file
    for (int line = 1; line <= 10; line++) ten_long += w + std::to_string(line) + long_line;
    // A success writes `count` entities and the level's `bytes` at `at`; a `failure` prints it instead.
    struct Case {
        const char* name;
        Inputs in;
        int count = 0;
        size_t at = 0;
        std::string bytes = "", before = "<absent>", failure = "", err = "";
    };
    const Case cases[] = {
        {.name = "first record",
         .in = {.layer1 = "110010N3\n" + grid_lines(4095), .layer2 = "11111 W9\n" + grid_lines(4095),
                .entity = "0 5 5 0 0 0 0 0 0 0\n1 7 8 0 1 -1 0 0 0 0\n2 9 9 0 0 0 0 0 0 0\n"},
         .count = 3, .bytes = "\x19\x13\x49\xDF\x01\x02\x03"s, .before = "previous"},
        // The line break is the eighth character; the trailing skip then finds nothing to skip.
        {.name = "seven-character line", .in = {.layer1 = "110010N\n000000E2\n" + rest},
         .bytes = "\x01\x13\0\0\x01\x02\x03\x11\x80"s, .err = w + "1: warning: a line of 7" + short_line},
        // Nothing is skipped before the first read: the blank line is its first character.
        {.name = "leading blank line", .in = {.layer1 = "\n1111111\n000000E2\n" + rest},
         .bytes = "\x08\x3E\0\0\x01\x02\x03\x11\x80"s,
         .err = w + "1: warning: a line of 0" + short_line + w + "2: warning: a line of 7" + short_line},
        {.name = "blank lines later", .in = {.layer1 = "110010N3\n\n  \n\t\n000000E2\n" + rest},
         .bytes = "\x19\x13\0\0\x01\x02\x03\x11\x80"s},
        {.name = "two cells on one line", .in = {.layer1 = "110010N3000000E2\n" + rest},
         .bytes = "\x19\x13\0\0\x01\x02\x03\x11\x80"s, .err = w + "1" + long_line},
        {.name = "warnings stop at ten", .in = {.layer1 = repeat("0000000000000000", 12) + grid_lines(4072)},
         .err = ten_long + "mazec: layer1.txt: further warnings not shown\n"},
        {.name = "white space after the eighth character", .in = {.layer2 = "11111 W9 \t\r\n" + grid_lines(4095)},
         .at = 2, .bytes = "\x49\xDF"s},
        // Square 299: red 299 -> 43, green 256 + 5 -> 5, blue -1 -> 255; square 7: green 256 -> 0.
        {.name = "colours a square a line", .in = {.colors = colors[0]}, .at = cell(4, 43) + 4, .bytes = "\x2B\x05\xFF"},
        {.name = "colours on one line", .in = {.colors = colors[1]}, .at = cell(0, 7) + 4,
         .bytes = "\x07\0\xFF\0\0\0\0\x08\x01\xFF"s},
        {.name = "white space only entity.txt", .in = {.entity = " \n\n "}, .at = LEVEL_GRID_BYTES, .bytes = "\0"s},
        {.name = "40 lines", .in = {.entity = repeat("1 2 3 4 5 6 7 8 9 10", 40)}, .count = 32, .at = LEVEL_GRID_BYTES,
         .bytes = "\x20\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A",
         .err = "mazec: entity.txt:33: warning: an entity line beyond the 32 the table holds: it and those after it are "
                "ignored\n"},
        {.name = "type and reals to low 8 bits", .in = {.entity = "258 -1.5 300.7 -0.9 255.9 -128.5 70000 1e10 inf nan\n"},
         .count = 1, .at = LEVEL_GRID_BYTES, .bytes = "\x01\x02\xFF\x2C\0\xFF\x80\x70\0\0\0"s},
        {.name = "values carry across lines", .in = {.entity = "7 1.9 2.9\n8 -4\n"}, .count = 1, .at = LEVEL_GRID_BYTES + 1,
         .bytes = "\x07\x01\x02\x08\xFC\0\0\0\0\0"s},
        {.name = "last line cut short", .in = {.entity = "1 1 1 1 1 1 1 1 1 1\n3 4 5"}, .count = 2,
         .at = LEVEL_GRID_BYTES + 11, .bytes = "\x03\x04\x05\0\0\0\0\0\0\0"s},
        // The letter is never consumed: every later read converts nothing but still counts.
        {.name = "letter stops conversion", .in = {.entity = letter}, .count = 32, .at = LEVEL_GRID_BYTES + 11,
         .bytes = "\x01"s + std::string(309, '\0'), .err = "mazec: entity.txt:2: warning: field 2 \"x" + not_number},
        // "1" is the type, ".5" the row, and the last number starts a second item.
        {.name = "type not an integer", .in = {.entity = "1.5 2 3 4 5 6 7 8 9 10\n"}, .count = 2, .at = LEVEL_GRID_BYTES,
         .bytes = "\x02\x01\x00\x02\x03\x04\x05\x06\x07\x08\x09\x0A"s,
         .err = "mazec: entity.txt:1: warning: field 1 \"1.5" + not_number},
        {.name = "missing colors.txt", .in = {.colors = "<absent>"}, .failure = open_error},
        {.name = "level.lvx is a directory", .in = {}, .before = "<directory>", .failure = open_error},
        {.name = "layer2 ends early", .in = {.layer1 = grid_lines(2), .layer2 = grid_lines(1)}, .before = "previous",
         .failure = start + spins(0, 7) + type_error},
        {.name = "colors ends early", .in = {.layer1 = grid_lines(2), .layer2 = grid_lines(2), .colors = "1 2 3"},
         .failure = start + spins(0, 9) + type_error},
        {.name = "empty layer1", .in = {.layer1 = ""}, .before = "previous", .failure = start + failed},
        // A read error is not the end of a file.
        {.name = "entity.txt a directory", .in = {.entity = "<directory>"}, .before = "previous",
         .failure = start + spins(0, 5 * 4096) +
                    "\bdone.\ncompiling entities ?\bfailed.\nerror: could not read entity.txt.\n"},
        {.name = "layer1.txt a directory", .in = {.layer1 = "<directory>"}, .before = "previous",
         .failure = start + "\bfailed.\nerror: could not read layer1.txt.\n"},
        {.name = "4095 lines", .in = {.layer1 = grid_lines(4095)}, .before = "previous",
         .failure = start + spins(0, 5 * 4095) + failed},
        {.name = "4097 lines",
         .in = {.layer1 = grid_lines(4097), .layer2 = grid_lines(4097), .colors = repeat("1 2 3", 4097)},
         .before = "previous", .failure = start + spins(0, 5 * 4096) + failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Result r = mazec(c.in, c.before);
        // The spinner counter runs on across the phases.
        const std::string done = start + spins(0, 5 * 4096) + "\bdone.\ncompiling entities ?" + spins(20480, c.count) +
                                 "\bdone. " + std::to_string(c.count) + " entities processed.\nwriting level.lvx ?" +
                                 spins(20480 + c.count, 4096 + c.count) + "\bdone.\n";
        EXPECT_EQ(r.code, c.failure.empty() ? 0 : 1);
        EXPECT_EQ(r.out, c.failure.empty() ? done : c.failure);
        EXPECT_EQ(r.err, c.err);
        if (!c.failure.empty()) {
            EXPECT_EQ(r.level, c.before);
            continue;
        }
        EXPECT_EQ(r.level.size(), 28673u + 10 * c.count);
        EXPECT_EQ(r.level.substr(std::min(c.at, r.level.size()), c.bytes.size()), c.bytes);
    }
}

// A full disk met by a write partway (small default buffer) or only when the file is flushed.
TEST(Mazec, WriteErrorKeepsPreviousLevel)
{
    for (size_t buffer : {size_t{0}, size_t{1} << 16}) {
        std::FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        if (buffer) std::setvbuf(full, nullptr, _IOFBF, buffer);
        Result r = mazec({}, "previous", full);
        EXPECT_EQ(r.code, 1) << buffer;
        EXPECT_NE(r.out.find("\bdone. 0 entities processed.\nwriting level.lvx ?"), std::string::npos) << buffer;
        EXPECT_TRUE(r.out.ends_with("\bfailed.\nerror: could not write level.lvx.\n")) << buffer;
        EXPECT_EQ(r.level, "previous") << buffer;
    }
}

// The shipped levels as the build compiled them: the ball in slot 0, blocks away from the
// border, a layer's blocks all at its height and solid on every side a ball can reach, a
// way to win, wanderers inside the square they are kept in.
TEST(ShippedLevels, KeepTheRulesOfAPlayableLevel)
{
    for (int n = 1; n <= 4; n++) {
        SCOPED_TRACE(n);
        block_index = -1;
        ASSERT_TRUE(load_level((BUILD_DIR "/level" + std::to_string(n) + ".lvx").c_str()) && entity_count >= 1);
        EXPECT_EQ(entities[0].type, ENTITY_BALL);
        int goals = 0;
        for (int k = 0; k < 2 * 64 * 64; k++) {
            const int layer = k / 4096, r = k / 64 % 64, c = k % 64, word = cells[layer][r][c];
            goals += layer == 0 && is_goal_color(cell_colors[r][c]);
            if (word == 0) continue;
            EXPECT_TRUE(r >= 2 && r <= 61 && c >= 2 && c <= 61) << r << "," << c;
            EXPECT_EQ(word & CELL_HEIGHT_MASK, (2 + 2 * layer) << CELL_HEIGHT_SHIFT) << r << "," << c;
            EXPECT_TRUE((cell_at(layer, r, c + 1) || (word & CELL_NORTH)) && (cell_at(layer, r, c - 1) || (word & CELL_SOUTH)) &&
                        (cell_at(layer, r + 1, c) || (word & CELL_EAST)) && (cell_at(layer, r - 1, c) || (word & CELL_WEST)))
                << layer << ":" << r << "," << c;
        }
        // Won on a goal square, or by pushing the bouncing block.
        EXPECT_TRUE(goals > 0 || block_index >= 0);
        EXPECT_TRUE(std::all_of(entities, entities + entity_count, [](const Entity& e) {
            return e.type != ENTITY_WANDERER || (e.x > 1.5 && e.x < 18.5 && e.y > 1.5 && e.y < 18.5);
        }));
    }
}

TEST(Mazedump, RoundTripOfEveryExpressibleValueAndReportOfTheRest)
{
    std::string level, err;
    auto next = [seed = 12345u]() mutable { return static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16); };
    const int ramps[5] = {0, RAMP_NORTH, RAMP_SOUTH, RAMP_EAST, RAMP_WEST};
    for (int k = 0; k < 2 * LEVEL_GRID_RECORDS; k++) {
        // Per layer face bits, a ramp the text can name and a height code 0..9; then the colours.
        int word = (next() & 0x3F) | ramps[(next() & 0xFF) % 5] | ((next() & 0xFF) % 10) << CELL_HEIGHT_SHIFT;
        level += {static_cast<char>(word >> 8), static_cast<char>(word)};
        if (k % 2) level += {next(), next(), next()};
    }
    level += '\x20';  // a full entity table
    for (int i = 0; i < 32 * 10; i++) level += next();
    EXPECT_EQ(round_trip("random", level, &err), level);
    EXPECT_EQ(err, "");

    // What the text cannot say is reported.
    level.assign(LEVEL_GRID_BYTES, '\0');
    level.replace(cell(1, 6), 2, "\x60\x1F");  // layer 0: height code 12
    level[cell(1, 7) + 2] = 0x02;              // layer 1: bit 9
    level[cell(1, 8) + 1] = 0x40;              // layer 0: ramp field 0x40
    level += "\x02\x09\x09\x09\x09";       // count 2, the first entity record cut short
    std::string back = round_trip("lossy", level, &err);
    for (const char* what : {"height code above 9", "bit 9, 10 or 15", "ramp field of 0x40",
                             "entity record 0 is cut short", "entity count says 2"})
        EXPECT_NE(err.find(what), std::string::npos) << what << " in:\n" << err;
    // Height code 9, bit 9 and the ramp field dropped; as many records as there are, the cut
    // one completed with the loader's zeros, and nothing after.
    EXPECT_EQ(back.substr(cell(1, 6), 3 * 7), std::string("\x48\x1F") + std::string(19, '\0'));
    EXPECT_EQ(back.substr(LEVEL_GRID_BYTES), std::string("\x01\x09\x09\x09\x09\0\0\0\0\0\0", 11));
}

// mazedump ($D) and levelgen ($G) on bad files, arguments and maps (m.map, written for the
// case). Every tool writes whole new files beside its targets and renames them into place:
// a failure leaves the previous files in out/ as they were and nothing beside them, and
// levelgen makes its output folder o/ only on success. levelgen puts colour rows where the
// origin stood when they were read, and takes velocities in rounded tenths only when finite
// and in range.
TEST(Tools, BadInputRefusedAndNothingHalfWritten)
{
    std::string dir = scratch("bad"), grid(LEVEL_GRID_BYTES, '\0');
    for (auto [name, bytes] : {std::pair{"short.lvx", grid.substr(7)}, {"count33.lvx", grid + '\x21'},
                               {"missing.lvx", grid + '\x05' + std::string(10, '\x01')}, {"good.lvx", grid},
                               {"longest.lvx", grid + '\x01' + std::string(2550, '\0')}, {"ok.map", "ball 3 3\n"s}})
        write_file(dir + name, bytes);
    const std::string colour_map = "color A 1 2 3\ncolors\nAA\nend\norigin 63 63\nball 1 1\n";
    const struct { std::string command; int code; const char* message; std::string map = "<absent>"; const char* file = nullptr; std::string begins = ""; } cases[] = {
        {"$D none.lvx", 1, "cannot open"}, {"$D short.lvx", 1, "not a level: 28665 bytes"}, {"$D", 1, "usage: mazedump"},
        {"$D --json count33.lvx", 1, "entity count 33 is more than the 32 slots"}, {"$D good.lvx -o", 1, "usage: mazedump"},
        {"$D missing.lvx", 1, "says 5 but the file holds only 1 records"},
        // Endless input stops at the longest file a count byte can describe.
        {"$D longest.lvx", 0, ""}, {"cat longest.lvx - </dev/zero | timeout 20 $D /dev/stdin", 1, "too large: a level file holds at most 31223 bytes"},
        {"timeout 20 $D /dev/zero", 1, "/dev/zero: too large"}, {"timeout 20 $G /dev/zero o", 1, "/dev/zero: too large"},
        {"$G m.map o", 1, "m.map: too large: a map holds at most 1048576 bytes", std::string(1 << 20, '#') + "\n"},
        // A read error is not an empty file; output that never arrives is a failure; the input is read once.
        {"$D .", 1, "cannot read .: Is a directory"}, {"$G m.map o", 1, "cannot read m.map: Is a directory", "<directory>"},
        {"$D good.lvx >/dev/full", 1, "cannot write the standard output"},
        {"$D --json good.lvx >/dev/full", 1, "cannot write the standard output"}, {"cat good.lvx | $D /dev/stdin", 0, ""},
        {"$D -o out good.lvx", 1, "cannot write out/entity.txt: Is a directory"},
        {"$G ok.map out", 1, "cannot write out/entity.txt: Is a directory"},
        // Colour rows 0 and 1, and no walls.
        {"$G m.map o", 0, "", colour_map, "colors.txt", "1 2 3\n1 2 3\n40 40 48\n"},
        {"$G m.map o", 0, "", colour_map, "layer1.txt", repeat("000000F0", 4096)},
        {"$G m.map o", 1, "m.map:2: wanderer velocities", "ball 1 1\nwanderer 5 5 nan -nan\n"},
        {"$G m.map o", 1, "m.map:2: wanderer velocities", "ball 1 1\nwanderer 5 5 12.71 0\n"},
        {"$G m.map o", 0, "", "ball 1 1\nwanderer 5 5 -12.7 0.04\n", "entity.txt", "0 1 1 0 0 0 0 0 0 0\n1 5 5 0 -127 0 0 0 0 0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " on " + c.map.substr(0, 40));
        for (const char* name : {"out", "o", "m.map"}) fs::remove_all(dir + name);
        fs::create_directories(dir + "out/entity.txt");
        for (const char* name : {"layer1.txt", "layer2.txt", "colors.txt"}) write_file(dir + "out/" + name, "old");
        put(dir + "m.map", c.map);
        std::string err;
        EXPECT_EQ(run("cd '" + dir + "' && D='" MAZEDUMP_PATH "' G='" LEVELGEN_PATH "' && " + c.command, &err), c.code);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        for (const char* name : {"layer1.txt", "layer2.txt", "colors.txt"}) EXPECT_EQ(read_file(dir + "out/" + name), "old");
        EXPECT_TRUE(fs::is_directory(dir + "out/entity.txt") && file_count(dir + "out") == 4);
        EXPECT_EQ(fs::exists(dir + "o/entity.txt"), c.file != nullptr);
        EXPECT_TRUE(!c.file || read_file(dir + "o/" + c.file).starts_with(c.begins));
    }
}

// A crafted level: one square of each kind the map shows in row 2, a goal, the ball and a block.
static std::string crafted_level()
{
    std::string level(LEVEL_GRID_BYTES, '\0');
    for (auto [column, layer, word] : {std::tuple{3, 0, CELL_SOLID | 2 << CELL_HEIGHT_SHIFT}, {3, 1, CELL_SOLID},
                                       {4, 0, RAMP_NORTH | CELL_TOP}, {5, 0, CELL_TOP}, {6, 0, 0x0200}}) {
        level[cell(2, column) + 2 * layer] = static_cast<char>(word >> 8);
        level[cell(2, column) + 2 * layer + 1] = static_cast<char>(word);
    }
    std::copy(GOAL_COLOR, GOAL_COLOR + 3, level.begin() + cell(2, 7) + 4);
    return level + std::string("\x02\x00\x05\x05\x00\x00\x00\x00\x00\x00\x00\x02\x09\x09\x00\x00\x01\x00\x00\x00\x00", 21);
}

TEST(Mazedump, SummaryMapAndJson)
{
    std::string dir = scratch("summary");
    write_file(dir + "c.lvx", crafted_level());
    ASSERT_EQ(run("cd '" + dir + "' && '" MAZEDUMP_PATH "' c.lvx >summary.txt && '" MAZEDUMP_PATH "' --json c.lvx >c.json"), 0);
    std::string summary = read_file(dir + "summary.txt"), dots(64, '.');
    for (const std::string& line : std::vector<std::string>{
             "c.lvx: loaded, 28693 bytes\n", "entities: 2, bouncing block: slot 1\n",
             "     0    0    5.5    5.5  0.375      0      0      0      0      0      0\n",
             "     1    2    9.5    9.5    0.5      0    0.1      0      0      0      0\n",
             "colours: 2 distinct, 1 goal square\n",
             // Row 2: a closed cube over a closed cube, a ramp, other faces, bit 9, the goal.
             "   2  ...#N+?G" + dots.substr(8) + "  ...#" + dots.substr(4) + "\n",
             "   3  " + dots + "  " + dots + "\n", "  63  " + dots + "  " + dots + "\nlegend:"})
        EXPECT_NE(summary.find(line), std::string::npos) << line << " in:\n" << summary;

    const nlohmann::json json = nlohmann::json::parse(read_file(dir + "c.json"), nullptr, false);
    ASSERT_FALSE(json.is_discarded());
    ASSERT_TRUE(json["entities"].size() == 2 && json["cells"].size() == 2 && json["cells"][0].size() == 4096 &&
                json["colors"].size() == 4096);
    EXPECT_EQ(json["entities"][0].size(), 16u);
    for (auto [pointer, value] : std::vector<std::pair<std::string, nlohmann::json>>{
             {"/loaded", true}, {"/entity_count", 2}, {"/block_index", 1}, {"/entities/1/type", 2}, {"/entities/1/z", 0.5},
             {"/entities/1/vy", 0.1}, {"/entities/0/y", 5.5}, {"/cells/0/132", RAMP_NORTH | CELL_TOP},
             {"/cells/1/131", CELL_SOLID}, {"/colors/135", {0, 0, 255}}})
        EXPECT_EQ(json[nlohmann::json::json_pointer(pointer)], value) << pointer;
}

// A PNG never goes through a link planted at a temporary name: the victim keeps its bytes.
TEST(Tools, PngNeverWrittenThroughAPlantedLink)
{
    std::string dir = scratch("png"), png = dir + "shot.png";
    write_file(dir + "victim", "keep");
    fs::create_symlink(dir + "victim", png + ".part");
    fs::create_symlink(dir + "victim", png + ".tmp" + std::to_string(getpid()) + "-0");
    static uint8_t frame[640 * 480], palette[256][3];
    ASSERT_TRUE(write_frame_png(png.c_str(), frame, palette));
    EXPECT_EQ(read_file(dir + "victim"), "keep");
    EXPECT_TRUE(read_file(png).starts_with("\x89PNG\r\n\x1a\n"));
    EXPECT_TRUE(fs::is_symlink(png + ".part") && !fs::is_symlink(png));
    EXPECT_EQ(file_count(dir), 4);  // the victim, two links and the PNG: nothing left behind
}

// mazec ended by a signal while it writes (here, when the reader of its output is gone)
// takes its temporary file along; level.lvx stays. The pipe's read end is closed before
// mazec starts, so the first write raises SIGPIPE however busy the machine is.
TEST(Mazec, SignalsRemoveTheTemporaryFile)
{
    std::string dir = scratch("signals");
    put_inputs(dir, {});
    write_file(dir + "level.lvx", "previous");
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    close(pipe_ends[0]);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        if (dup2(pipe_ends[1], STDOUT_FILENO) >= 0 && chdir(dir.c_str()) == 0) execl(MAZEC_PATH, MAZEC_PATH, nullptr);
        _exit(127);
    }
    close(pipe_ends[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
    EXPECT_EQ(read_file(dir + "level.lvx"), "previous");
    EXPECT_EQ(file_count(dir), 5) << "the four inputs and level.lvx, no temporary file";
}
