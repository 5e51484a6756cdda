#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compiler/compiler.h"

namespace {

const char type_error[] = "error: input files not of required type.\n";
const char failed[] = "\bfailed.\nerror: input files not of required type.\n";

std::string repeat(const std::string& line, int n)
{
    std::string s;
    for (int i = 0; i < n; i++) s += line + "\n";
    return s;
}

struct Inputs {
    std::string layer1 = repeat("00000000", 4096);
    std::string layer2 = repeat("00000000", 4096);
    std::string colors = repeat("1 2 3", 4096);
    std::string entity = "0 5 5 0 0 0 0 0 0 0\n";
};

struct Result {
    int code;
    std::string out;
    std::string level;
};

std::string take(char* buf, size_t len)
{
    std::string s(buf ? buf : "", len);
    std::free(buf);
    return s;
}

// Runs the compile routine with inputs from strings and messages into memory; the level
// goes to memory too unless a stream is given.
Result compile(Inputs in, std::FILE* level = nullptr, const char* temp = nullptr,
               const char* path = nullptr)
{
    char *level_buf = nullptr, *out_buf = nullptr;
    size_t level_len = 0, out_len = 0;
    std::FILE* out = open_memstream(&out_buf, &out_len);
    if (!level) level = open_memstream(&level_buf, &level_len);
    // fmemopen of an empty buffer is allowed by glibc; a read meets end of file at once.
    auto input = [](std::string& text) { return fmemopen(text.data(), text.size(), "r"); };
    CompileFiles files = {input(in.layer1), input(in.layer2), input(in.entity), input(in.colors),
                          level, temp, path};
    Result r;
    r.code = compile_level(files, out);
    std::fclose(out);
    r.out = take(out_buf, out_len);
    r.level = take(level_buf, level_len);
    return r;
}

// Spinner steps number `first` .. `first + n - 1` of one run.
std::string spins(int first, int n)
{
    std::string s;
    for (int i = first; i < first + n; i++) {
        s += '\b';
        s += "-/|\\"[i % 4];
    }
    return s;
}

int byte_at(const std::string& level, size_t offset)
{
    return offset < level.size() ? static_cast<unsigned char>(level[offset]) : -1;
}

std::vector<int> entity_bytes(const std::string& level, int q)
{
    std::vector<int> bytes;
    for (int i = 0; i < 10; i++) bytes.push_back(byte_at(level, 28673 + q * 10 + i));
    return bytes;
}

void put(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::string read(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<absent>";
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    std::fclose(f);
    return s;
}

std::string fresh_dir(const std::string& name)
{
    std::string dir = ::testing::TempDir() + "mazec_" + std::to_string(getpid()) + "_" + name + "/";
    std::system(("rm -rf '" + dir + "'").c_str());
    mkdir(dir.c_str(), 0777);
    return dir;
}

// Number of files in `dir`; a temporary file left behind would show here.
int file_count(const std::string& dir)
{
    // Beside the folder, named after it, so parallel test processes keep apart.
    std::string listing = dir.substr(0, dir.size() - 1) + ".listing";
    std::system(("ls -A '" + dir + "' | wc -l > '" + listing + "'").c_str());
    return std::atoi(read(listing).c_str());
}

}  // namespace

TEST(EncodeCellLine, Characters)
{
    struct Case {
        const char* line;
        uint16_t word;
    };
    const Case cases[] = {
        {"110010N3", 0x1913},
        {"11111 W9", 0x49DF},
        {"111110F2", 0x101F},  // closed cube, height code 2
        {"000000S0", 0x0140},
        {"000000E1", 0x0980},
        {"000000n0", 0x0000},  // letters only in upper case
        {"222222X0", 0x0000},  // anything but "1" sets no face bit
        {"000001F:", 0x0020},  // ':' follows '9' but is no digit
        {"00000000", 0x0000},
    };
    for (const Case& c : cases) EXPECT_EQ(encode_cell_line(c.line), c.word) << c.line;
}

TEST(Compile, FullOutputTextAndBytes)
{
    Inputs in;
    in.layer1 = "110010N3\n" + repeat("00000000", 4095);
    in.layer2 = "11111 W9\n" + repeat("00000000", 4095);
    in.entity = "0 5 5 0 0 0 0 0 0 0\n1 7 8 0 1 -1 0 0 0 0\n2 9 9 0 0 0 0 0 0 0\n";
    Result r = compile(in);
    ASSERT_EQ(r.code, 0);
    // The spinner counter runs on across the phases: the entity phase starts at step 20480.
    std::string expected = "compiling levels ?" + spins(0, 5 * 4096) +
                           "\bdone.\ncompiling entities ?" + spins(20480, 3) +
                           "\bdone. 3 entities processed.\nwriting level.lvx ?" +
                           spins(20483, 4096 + 3) + "\bdone.\n";
    EXPECT_EQ(r.out, expected);
    ASSERT_EQ(r.level.size(), 28672u + 1 + 30);
    const int record0[7] = {0x19, 0x13, 0x49, 0xDF, 1, 2, 3};
    for (int i = 0; i < 7; i++) EXPECT_EQ(byte_at(r.level, i), record0[i]) << i;
    EXPECT_EQ(byte_at(r.level, 28672), 3);
    EXPECT_EQ(entity_bytes(r.level, 1), (std::vector<int>{1, 7, 8, 0, 1, 0xFF, 0, 0, 0, 0}));
}

TEST(Compile, LayerLineAlignment)
{
    struct Case {
        const char* name;
        std::string layer1;
        uint16_t word0, word1;
    };
    const std::string rest = repeat("00000001", 4094);
    const Case cases[] = {
        // The line break becomes the eighth character; the next line still reads whole
        // because the format's trailing white space skip finds nothing to skip.
        {"seven-character line", "110010N\n000000E2\n" + rest, 0x0113, 0x1180},
        // Nothing is skipped before the first read: the blank line is its first character.
        {"leading blank line", "\n1111111\n000000E2\n" + rest, 0x083E, 0x1180},
        {"blank lines later", "110010N3\n\n  \n\t\n000000E2\n" + rest, 0x1913, 0x1180},
    };
    for (const Case& c : cases) {
        Inputs in;
        in.layer1 = c.layer1;
        Result r = compile(in);
        ASSERT_EQ(r.code, 0) << c.name;
        EXPECT_EQ(byte_at(r.level, 0) << 8 | byte_at(r.level, 1), c.word0) << c.name;
        EXPECT_EQ(byte_at(r.level, 7) << 8 | byte_at(r.level, 8), c.word1) << c.name;
        EXPECT_EQ(byte_at(r.level, 14) << 8 | byte_at(r.level, 15), 0x0800) << c.name;
    }
}

TEST(Compile, ColorLayoutsAndLowBits)
{
    // The same numbers one square a line, one number a line and all on one line.
    std::string layouts[3];
    const char* gaps[3][3] = {{" ", " ", "\n"}, {"\n", "\n", "\n"}, {" ", "  ", " "}};
    for (int k = 0; k < 4096; k++) {
        const int rgb[3] = {k % 300, 256 + k % 7, -(k % 3)};
        for (int l = 0; l < 3; l++) {
            for (int i = 0; i < 3; i++) layouts[l] += std::to_string(rgb[i]) + gaps[l][i];
        }
    }
    Inputs in;
    Result r[3];
    for (int l = 0; l < 3; l++) {
        in.colors = layouts[l];
        r[l] = compile(in);
        ASSERT_EQ(r[l].code, 0) << l;
    }
    EXPECT_EQ(r[1].level, r[0].level);
    EXPECT_EQ(r[2].level, r[0].level);
    // Square 299: red 299 -> 43, green 256 + 5 -> 5, blue -2 -> 254; square 7: green 256 -> 0.
    const int bytes[4][2] = {{299 * 7 + 4, 43}, {299 * 7 + 5, 5}, {299 * 7 + 6, 254}, {7 * 7 + 5, 0}};
    for (const auto& b : bytes) EXPECT_EQ(byte_at(r[0].level, b[0]), b[1]) << b[0];
}

TEST(Compile, EntityReads)
{
    struct Case {
        const char* name;
        std::string entity;
        int count;
        int check_slot;  // -1: only the count
        std::vector<int> bytes;
    };
    const Case cases[] = {
        {"empty file", "", 0, -1, {}},
        {"40 lines", repeat("1 2 3 4 5 6 7 8 9 10", 40), 32, 31, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"type and reals to low 8 bits", "258 -1.5 300.7 -0.9 255.9 -128.5 70000 1e10 inf nan\n", 1, 0,
         {2, 0xFF, 0x2C, 0, 0xFF, 0x80, 0x70, 0, 0, 0}},
        {"values carry across lines", "7 1.9 2.9\n8 4\n", 1, 0, {7, 1, 2, 8, 4, 0, 0, 0, 0, 0}},
        {"last line cut short", "1 1 1 1 1 1 1 1 1 1\n3 4 5", 2, 1, {3, 4, 5, 0, 0, 0, 0, 0, 0, 0}},
        // The letter is never consumed: every later read converts nothing but still counts.
        {"letter stops conversion", "0 5 5 0 0 0 0 0 0 0\n1 x 3\n", 32, 1, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"letter: later records zero", "0 5 5 0 0 0 0 0 0 0\n1 x 3\n", 32, 31, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"letter first", "x\n", 32, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"white space only", " \n\n ", 0, -1, {}},
    };
    for (const Case& c : cases) {
        Inputs in;
        in.entity = c.entity;
        Result r = compile(in);
        ASSERT_EQ(r.code, 0) << c.name;
        std::string message = "\bdone. " + std::to_string(c.count) + " entities processed.\n";
        EXPECT_NE(r.out.find(message), std::string::npos) << c.name;
        EXPECT_EQ(r.level.size(), 28673u + 10 * c.count) << c.name;
        EXPECT_EQ(byte_at(r.level, 28672), c.count) << c.name;
        if (c.check_slot >= 0) {
            EXPECT_EQ(entity_bytes(r.level, c.check_slot), c.bytes) << c.name;
        }
    }
}

// A full disk met by a write partway (small buffer) or only when the file is flushed.
TEST(Compile, WriteErrorKeepsPreviousLevel)
{
    for (size_t buffer : {size_t{0}, size_t{1} << 16}) {
        std::string dir = fresh_dir("write_error");
        put(dir + "level.lvx", "previous level");
        put(dir + "level.lvx.partial", "");
        std::FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        if (buffer) std::setvbuf(full, nullptr, _IOFBF, buffer);
        Result r = compile(Inputs(), full, (dir + "level.lvx.partial").c_str(),
                           (dir + "level.lvx").c_str());
        EXPECT_EQ(r.code, 1) << buffer;
        std::string expected = "compiling levels ?" + spins(0, 20480) +
                               "\bdone.\ncompiling entities ?" + spins(20480, 1) +
                               "\bdone. 1 entities processed.\nwriting level.lvx ?";
        EXPECT_EQ(r.out.rfind(expected, 0), 0u) << buffer;
        const std::string tail = "\bfailed.\nerror: could not write level.lvx.\n";
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << buffer;
        EXPECT_EQ(read(dir + "level.lvx"), "previous level") << buffer;
        EXPECT_EQ(file_count(dir), 1) << buffer << ": the partial file is removed";
    }
}

// The program run in a directory: its whole output, and level.lvx replaced only on success.
TEST(Compile, ProgramInDirectory)
{
    enum Before { absent, previous, directory };
    struct Case {
        const char* name;
        int layer1, layer2, colors;  // lines; -1: the file is missing
        Before before;
        int code;
        int steps;  // spinner steps before `message`; -1: none, not even "compiling levels ?"
        std::string message;
        std::string after;  // level.lvx afterwards; "" for a new level without entities
    };
    const std::string open_error =
        "error: could not open files.\n"
        "required input files: layer1.txt layer2.txt entity.txt colors.txt\n";
    const std::string done = "\bdone.\ncompiling entities ?\bdone. 0 entities processed.\n"
                             "writing level.lvx ?" + spins(20480, 4096) + "\bdone.\n";
    const Case cases[] = {
        {"missing colors.txt", 4096, 4096, -1, absent, 1, -1, open_error, "<absent>"},
        {"level.lvx is a directory", 4096, 4096, 4096, directory, 1, -1, open_error, "<directory>"},
        {"layer2 ends early", 2, 1, 4096, previous, 1, 7, type_error, "previous level"},
        {"colors ends early", 2, 2, 1, absent, 1, 9, type_error, "<absent>"},
        {"empty layer1", 0, 4096, 4096, previous, 1, 0, failed, "previous level"},
        {"4095 lines, no level before", 4095, 4096, 4096, absent, 1, 5 * 4095, failed, "<absent>"},
        {"4095 lines", 4095, 4096, 4096, previous, 1, 5 * 4095, failed, "previous level"},
        {"4097 lines", 4097, 4097, 4097, previous, 1, 5 * 4096, failed, "previous level"},
        {"success", 4096, 4096, 4096, previous, 0, 5 * 4096, done, ""},
    };
    for (const Case& c : cases) {
        std::string dir = fresh_dir("program");
        const char* names[3] = {"layer1.txt", "layer2.txt", "colors.txt"};
        const int lines[3] = {c.layer1, c.layer2, c.colors};
        for (int i = 0; i < 3; i++) {
            if (lines[i] >= 0) put(dir + names[i], repeat(i == 2 ? "1 2 3" : "00000000", lines[i]));
        }
        put(dir + "entity.txt", "");
        if (c.before == previous) put(dir + "level.lvx", "previous level");
        if (c.before == directory) mkdir((dir + "level.lvx").c_str(), 0777);
        int files_before = file_count(dir);

        char* buf = nullptr;
        size_t len = 0;
        std::FILE* out = open_memstream(&buf, &len);
        EXPECT_EQ(mazec_main(dir.c_str(), out), c.code) << c.name;
        std::fclose(out);
        std::string expected = "skelvic level compiler v0.32\n";
        if (c.steps >= 0) expected += "compiling levels ?" + spins(0, c.steps);
        EXPECT_EQ(take(buf, len), expected + c.message) << c.name;
        std::string after = c.before == directory ? "<directory>" : read(dir + "level.lvx");
        if (c.after.empty()) {
            EXPECT_EQ(after.size(), 28673u) << c.name;
        } else {
            EXPECT_EQ(after, c.after) << c.name;
        }
        EXPECT_EQ(file_count(dir), files_before) << c.name << ": no file added or left behind";
    }
}
