#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <set>
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

std::FILE* read_stream(std::string& text)
{
    // fmemopen of an empty buffer is allowed by glibc; a read meets end of file at once.
    return fmemopen(text.data(), text.size(), "r");
}

// Runs the compile routine in memory: inputs from strings, level bytes and messages into
// memory streams.
Result compile(Inputs in)
{
    char* level_buf = nullptr;
    size_t level_len = 0;
    char* out_buf = nullptr;
    size_t out_len = 0;
    std::FILE* out = open_memstream(&out_buf, &out_len);
    CompileFiles files = {read_stream(in.layer1), read_stream(in.layer2), read_stream(in.entity),
                          read_stream(in.colors), open_memstream(&level_buf, &level_len),
                          nullptr, nullptr};
    Result r;
    r.code = compile_level(files, out);
    std::fclose(out);
    r.out.assign(out_buf, out_len);
    r.level.assign(level_buf, level_len);
    std::free(out_buf);
    std::free(level_buf);
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

TEST(Compile, GridErrors)
{
    struct Case {
        const char* name;
        int layer1, layer2, colors;  // lines in each file
        std::string out;
    };
    const std::string start = "compiling levels ?";
    const Case cases[] = {
        {"layer2 ends early", 2, 1, 4096, start + spins(0, 7) + type_error},
        {"colors ends early", 2, 2, 1, start + spins(0, 9) + type_error},
        {"layer1 of 4095 lines", 4095, 4096, 4096, start + spins(0, 5 * 4095) + failed},
        {"layer1 of 4097 lines", 4097, 4097, 4097, start + spins(0, 5 * 4096) + failed},
        {"empty layer1", 0, 4096, 4096, start + failed},
    };
    for (const Case& c : cases) {
        Inputs in;
        in.layer1 = repeat("11111 W9", c.layer1);
        in.layer2 = repeat("00000000", c.layer2);
        in.colors = repeat("1 2 3", c.colors);
        Result r = compile(in);
        EXPECT_EQ(r.code, 1) << c.name;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.level.size(), 0u) << c.name;
    }
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
    std::string lines, one_per_line, one_line;
    for (int k = 0; k < 4096; k++) {
        int r = k % 300, g = 256 + k % 7, b = -(k % 3);
        lines += std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + "\n";
        one_per_line += std::to_string(r) + "\n" + std::to_string(g) + "\n" + std::to_string(b) + "\n";
        one_line += std::to_string(r) + " " + std::to_string(g) + "  " + std::to_string(b) + " ";
    }
    Inputs in;
    in.colors = lines;
    Result base = compile(in);
    ASSERT_EQ(base.code, 0);
    // Square 299: red 299 -> 43, green 256 + 5 -> 5, blue -2 -> 254.
    EXPECT_EQ(byte_at(base.level, 299 * 7 + 4), 43);
    EXPECT_EQ(byte_at(base.level, 299 * 7 + 5), 5);
    EXPECT_EQ(byte_at(base.level, 299 * 7 + 6), 254);
    EXPECT_EQ(byte_at(base.level, 7 * 7 + 5), 0);  // a colour of 256 becomes 0
    for (const std::string* layout : {&one_per_line, &one_line}) {
        in.colors = *layout;
        Result r = compile(in);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.level, base.level);
    }
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

// A full disk is met by a write partway (small buffer) or only by the final flush (a
// buffer larger than the level).
TEST(Compile, WriteErrorIsFailure)
{
    for (size_t buffer : {size_t{0}, size_t{1} << 16}) {
        SCOPED_TRACE(buffer);
        std::string dir = ::testing::TempDir() + "mazec_write_error/";
        mkdir(dir.c_str(), 0777);
        std::string level = dir + "level.lvx", temp = dir + "level.lvx.partial";
        std::FILE* old = std::fopen(level.c_str(), "wb");
        std::fputs("previous level", old);
        std::fclose(old);
        std::fclose(std::fopen(temp.c_str(), "wb"));

        Inputs in;
        char* out_buf = nullptr;
        size_t out_len = 0;
        std::FILE* out = open_memstream(&out_buf, &out_len);
        std::FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        if (buffer) std::setvbuf(full, nullptr, _IOFBF, buffer);
        CompileFiles files = {read_stream(in.layer1), read_stream(in.layer2), read_stream(in.entity),
                              read_stream(in.colors), full, temp.c_str(), level.c_str()};
        EXPECT_EQ(compile_level(files, out), 1);
        std::fclose(out);
        std::string text(out_buf, out_len);
        std::free(out_buf);
        const std::string tail = "\bfailed.\nerror: could not write level.lvx.\n";
        ASSERT_GE(text.size(), tail.size());
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        EXPECT_EQ(text.find("\bdone.\n", text.find("writing")), std::string::npos);

        struct stat st;
        EXPECT_NE(stat(temp.c_str(), &st), 0) << "the partial file is removed";
        char buf[64] = {};
        std::FILE* f = std::fopen(level.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::fread(buf, 1, sizeof buf - 1, f);
        std::fclose(f);
        EXPECT_STREQ(buf, "previous level");
    }
}

// The program as run in a directory: open errors and an intact previous level.lvx.
class CompileInDirectory : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        dir = ::testing::TempDir() + "mazec_dir_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        std::system(("rm -rf '" + dir + "'").c_str());
        mkdir(dir.c_str(), 0777);
    }

    void put(const char* name, const std::string& text)
    {
        std::FILE* f = std::fopen((dir + name).c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    std::set<std::string> listing()
    {
        std::set<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') names.insert(e->d_name);
        }
        closedir(d);
        return names;
    }

    std::string read(const char* name)
    {
        std::string s;
        std::FILE* f = std::fopen((dir + name).c_str(), "rb");
        if (!f) return "<absent>";
        int c;
        while ((c = std::fgetc(f)) != EOF) s += static_cast<char>(c);
        std::fclose(f);
        return s;
    }

    int run(std::string* text)
    {
        char* buf = nullptr;
        size_t len = 0;
        std::FILE* out = open_memstream(&buf, &len);
        int code = mazec_main(dir.c_str(), out);
        std::fclose(out);
        text->assign(buf, len);
        std::free(buf);
        return code;
    }

    void put_inputs(const Inputs& in)
    {
        put("layer1.txt", in.layer1);
        put("layer2.txt", in.layer2);
        put("colors.txt", in.colors);
        put("entity.txt", in.entity);
    }
};

TEST_F(CompileInDirectory, MissingInputCreatesNothing)
{
    Inputs in;
    put("layer1.txt", in.layer1);
    put("layer2.txt", in.layer2);
    put("entity.txt", in.entity);
    std::string text;
    EXPECT_EQ(run(&text), 1);
    EXPECT_EQ(text,
              "skelvic level compiler v0.32\n"
              "error: could not open files.\n"
              "required input files: layer1.txt layer2.txt entity.txt colors.txt\n");
    EXPECT_EQ(listing(), (std::set<std::string>{"layer1.txt", "layer2.txt", "entity.txt"}));
}

TEST_F(CompileInDirectory, OutputThatCannotBeOpened)
{
    put_inputs(Inputs());
    mkdir((dir + "level.lvx").c_str(), 0777);
    std::string text;
    EXPECT_EQ(run(&text), 1);
    EXPECT_NE(text.find("error: could not open files.\n"), std::string::npos);
    EXPECT_EQ(listing().size(), 5u);
}

TEST_F(CompileInDirectory, FailuresKeepPreviousLevel)
{
    struct Case {
        const char* name;
        int layer1, layer2, colors;
    };
    const Case cases[] = {
        {"4095 lines", 4095, 4096, 4096},
        {"4097 lines", 4097, 4096, 4096},
        {"layer2 ends early", 4096, 100, 4096},
        {"colors ends early", 4096, 4096, 0},
    };
    for (const Case& c : cases) {
        for (bool had_level : {false, true}) {
            SetUp();
            Inputs in;
            in.layer1 = repeat("00000000", c.layer1);
            in.layer2 = repeat("00000000", c.layer2);
            in.colors = repeat("1 2 3", c.colors);
            put_inputs(in);
            if (had_level) put("level.lvx", "previous level");
            std::string text;
            EXPECT_EQ(run(&text), 1) << c.name;
            EXPECT_EQ(read("level.lvx"), had_level ? "previous level" : "<absent>") << c.name;
            EXPECT_EQ(listing().size(), had_level ? 5u : 4u) << c.name << ": no file left behind";
        }
    }
}

TEST_F(CompileInDirectory, SuccessReplacesLevel)
{
    put_inputs(Inputs());
    put("level.lvx", "previous level");
    std::string text;
    EXPECT_EQ(run(&text), 0);
    EXPECT_EQ(text.rfind("skelvic level compiler v0.32\ncompiling levels ?", 0), 0u);
    EXPECT_EQ(read("level.lvx").size(), 28683u);
    EXPECT_EQ(listing().size(), 5u);
}
