// Runs the built mazec and mazedump on the shipped levels and on crafted level files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "world/world.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string scratch(const std::string& name)
{
    // Test cases run as parallel processes: each keeps to folders of its own.
    std::string dir = ::testing::TempDir() + "mazetools_" + std::to_string(getpid()) + "_" + name;
    std::system(("rm -rf '" + dir + "'").c_str());
    mkdir(dir.c_str(), 0777);
    return dir;
}

// Runs a shell command; returns its exit code and stderr.
int run(const std::string& command, std::string* err = nullptr)
{
    std::string err_path = ::testing::TempDir() + "mazetools_stderr_" + std::to_string(getpid()) + ".txt";
    int status = std::system((command + " >/dev/null 2>'" + err_path + "'").c_str());
    if (err) {
        err->clear();
        if (std::FILE* f = std::fopen(err_path.c_str(), "rb")) {
            int c;
            while ((c = std::fgetc(f)) != EOF) *err += static_cast<char>(c);
            std::fclose(f);
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string mazec_in(const std::string& dir)
{
    return "cd '" + dir + "' && '" MAZEC_PATH "'";
}

std::string mazedump(const std::string& args)
{
    return "'" MAZEDUMP_PATH "' " + args;
}

Bytes read_bytes(const std::string& path)
{
    Bytes bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

void write_bytes(const std::string& path, const Bytes& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Dumps `level` to text, recompiles the text and returns the new bytes.
Bytes round_trip(const std::string& name, const Bytes& level, std::string* err)
{
    std::string dir = scratch(name);
    write_bytes(dir + "/in.lvx", level);
    EXPECT_EQ(run(mazedump("-o '" + dir + "/text' '" + dir + "/in.lvx'"), err), 0) << name;
    EXPECT_EQ(run(mazec_in(dir + "/text")), 0) << name;
    return read_bytes(dir + "/text/level.lvx");
}

void put_word(Bytes* level, int layer, int k, uint16_t word)
{
    (*level)[static_cast<size_t>(k * 7 + layer * 2)] = static_cast<uint8_t>(word >> 8);
    (*level)[static_cast<size_t>(k * 7 + layer * 2 + 1)] = static_cast<uint8_t>(word & 0xFF);
}

}  // namespace

TEST(ShippedLevels, CompileLoadAndRoundTrip)
{
    for (int n = 1; n <= 4; n++) {
        SCOPED_TRACE(n);
        std::string dir = scratch("level" + std::to_string(n));
        std::string source = std::string(LEVELS_DIR) + "/level" + std::to_string(n);
        ASSERT_EQ(run("cp '" + source + "'/*.txt '" + dir + "'"), 0);
        ASSERT_EQ(run(mazec_in(dir)), 0);
        Bytes level = read_bytes(dir + "/level.lvx");

        block_index = -1;
        ASSERT_TRUE(load_level((dir + "/level.lvx").c_str()));
        ASSERT_GE(entity_count, 1);
        EXPECT_EQ(entities[0].type, ENTITY_BALL);
        int goals = 0;
        for (int layer = 0; layer < 2; layer++) {
            for (int r = 0; r < 64; r++) {
                for (int c = 0; c < 64; c++) {
                    uint16_t word = cells[layer][r][c];
                    if (word == 0) continue;
                    // Blocks keep away from the border; a layer's blocks all share its height.
                    EXPECT_TRUE(r >= 2 && r <= 61 && c >= 2 && c <= 61) << r << "," << c;
                    EXPECT_EQ(word & CELL_HEIGHT_MASK, (2 + 2 * layer) << CELL_HEIGHT_SHIFT) << r << "," << c;
                    // Every side a ball can reach from an empty neighbour is solid.
                    const struct { int dr, dc; uint16_t face; } sides[] = {
                        {0, 1, CELL_NORTH}, {0, -1, CELL_SOUTH}, {1, 0, CELL_EAST}, {-1, 0, CELL_WEST}};
                    for (const auto& side : sides) {
                        if (cell_at(layer, r + side.dr, c + side.dc) == 0) {
                            EXPECT_TRUE(word & side.face) << layer << ":" << r << "," << c;
                        }
                    }
                }
            }
        }
        for (int r = 0; r < 64; r++) {
            for (int c = 0; c < 64; c++) {
                const uint8_t* rgb = cell_colors[r][c];
                goals += rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 255;
            }
        }
        // Each level is won on a goal square, or by pushing its bouncing block.
        EXPECT_TRUE(goals > 0 || block_index >= 0);
        for (int i = 0; i < entity_count; i++) {
            if (entities[i].type != ENTITY_WANDERER) continue;
            EXPECT_TRUE(entities[i].x > 1.5 && entities[i].x < 18.5 && entities[i].y > 1.5 && entities[i].y < 18.5);
        }

        std::string err;
        EXPECT_EQ(round_trip("level_rt" + std::to_string(n), level, &err), level);
        EXPECT_EQ(err, "");
    }
}

TEST(Mazedump, RoundTripOfEveryExpressibleValue)
{
    Bytes level(LEVEL_GRID_BYTES);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xFFFF; };
    for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
        for (int layer = 0; layer < 2; layer++) {
            // Face bits, a ramp from the four the text can name, height code 0..9.
            uint16_t ramps[5] = {0, RAMP_NORTH, RAMP_SOUTH, RAMP_EAST, RAMP_WEST};
            uint16_t word = static_cast<uint16_t>((next() & 0x3F) | ramps[next() % 5] |
                                                  (next() % 10) << CELL_HEIGHT_SHIFT);
            put_word(&level, layer, k, word);
        }
        for (int i = 4; i < 7; i++) level[static_cast<size_t>(k * 7 + i)] = static_cast<uint8_t>(next());
    }
    level.push_back(32);
    for (int i = 0; i < 32 * 10; i++) level.push_back(static_cast<uint8_t>(next()));
    std::string err;
    EXPECT_EQ(round_trip("random", level, &err), level);
    EXPECT_EQ(err, "");
}

TEST(Mazedump, ReportsWhatTextCannotSay)
{
    Bytes level(LEVEL_GRID_BYTES);
    put_word(&level, 0, 70, 0x6000 | 0x001F);  // height code 12
    put_word(&level, 1, 71, 0x0200);           // bit 9
    put_word(&level, 0, 72, 0x0040);           // ramp field 0x40
    level.push_back(2);
    for (int i = 0; i < 4; i++) level.push_back(9);  // first entity record cut short
    std::string err;
    Bytes back = round_trip("lossy", level, &err);
    for (const char* what : {"height code above 9", "bit 9, 10 or 15", "ramp field of 0x40",
                             "entity record 0 is cut short", "entity count says 2"}) {
        EXPECT_NE(err.find(what), std::string::npos) << what << " in:\n" << err;
    }
    ASSERT_EQ(back.size(), static_cast<size_t>(LEVEL_GRID_BYTES + 1 + 10));
    EXPECT_EQ(back[70 * 7] << 8 | back[70 * 7 + 1], 0x481F);  // written as code 9
    EXPECT_EQ(back[71 * 7 + 2] << 8 | back[71 * 7 + 3], 0);
    EXPECT_EQ(back[LEVEL_GRID_BYTES], 1);
    const uint8_t entity[10] = {9, 9, 9, 9, 0, 0, 0, 0, 0, 0};  // the loader's zeros
    for (int i = 0; i < 10; i++) EXPECT_EQ(back[static_cast<size_t>(LEVEL_GRID_BYTES + 1 + i)], entity[i]);
}

TEST(Mazedump, RefusedFilesAndArguments)
{
    std::string dir = scratch("bad");
    auto level = [](int grid_bytes, std::vector<int> tail) {
        Bytes bytes(static_cast<size_t>(grid_bytes));
        for (int v : tail) bytes.push_back(static_cast<uint8_t>(v));
        return bytes;
    };
    write_bytes(dir + "/short.lvx", level(LEVEL_GRID_BYTES - 7, {}));
    write_bytes(dir + "/count33.lvx", level(LEVEL_GRID_BYTES, {33}));
    write_bytes(dir + "/missing.lvx", level(LEVEL_GRID_BYTES, {5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    write_bytes(dir + "/good.lvx", level(LEVEL_GRID_BYTES, {}));
    struct Case {
        std::string args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"none.lvx", 1, "cannot open"},
        {"short.lvx", 1, "not a level: 28665 bytes"},
        {"--json count33.lvx", 1, "entity count 33 is more than the 32 slots"},
        {"missing.lvx", 1, "says 5 but the file holds only 1 records"},
        {"", 1, "usage: mazedump"},
        {"--frobnicate good.lvx", 1, "usage: mazedump"},
        {"good.lvx -o", 1, "usage: mazedump"},
        {"good.lvx", 0, ""},
        {"--json good.lvx", 0, ""},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(run("cd '" + dir + "' && " + mazedump(c.args), &err), c.code) << c.args;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.args << ": " << err;
    }
}
