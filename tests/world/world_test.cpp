#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include "world/numeric.h"
#include "world/trig.h"
#include "world/world.h"

namespace {

std::string temp_path(const char* name)
{
    return std::string(::testing::TempDir()) + name;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return true;
}

// A grid of 4096 records whose record k holds the bytes k*7 .. k*7+6 (mod 256).
std::vector<uint8_t> grid_bytes()
{
    std::vector<uint8_t> bytes(LEVEL_GRID_BYTES);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

void fresh_world()
{
    std::memset(cells, 0, sizeof cells);
    std::memset(cell_colors, 0, sizeof cell_colors);
    std::memset(entities, 0, sizeof entities);
    entity_count = 0;
    block_index = -1;
}

bool load_bytes(const std::vector<uint8_t>& bytes)
{
    // Tests run as parallel processes: each writes its own file.
    std::string path = temp_path(("level_test_" + std::to_string(getpid()) + ".lvx").c_str());
    EXPECT_TRUE(write_file(path, bytes));
    bool loaded = load_level(path.c_str());
    std::remove(path.c_str());
    return loaded;
}

void append_entity(std::vector<uint8_t>* bytes, std::vector<int8_t> record)
{
    for (int8_t v : record) bytes->push_back(static_cast<uint8_t>(v));
}

}  // namespace

TEST(LoadLevel, FileLengths)
{
    struct Case {
        const char* name;
        size_t length;
        bool loads;
    };
    const Case cases[] = {
        {"exactly the grid", 28672, true},
        {"one byte short: last record cut short", 28671, true},
        {"last record has a single byte", 28666, true},
        {"last record missing entirely", 28665, false},
        {"empty file", 0, false},
    };
    for (const Case& c : cases) {
        fresh_world();
        std::vector<uint8_t> bytes = grid_bytes();
        bytes.resize(c.length);
        EXPECT_EQ(load_bytes(bytes), c.loads) << c.name;
        if (c.loads) {
            EXPECT_EQ(entity_count, 0) << c.name;
        }
    }
}

TEST(LoadLevel, MissingFileFails)
{
    EXPECT_FALSE(load_level(temp_path("no_such_level.lvx").c_str()));
}

TEST(LoadLevel, CutShortGridRecordKeepsPreviousBytes)
{
    fresh_world();
    std::vector<uint8_t> bytes = grid_bytes();
    bytes.resize(28671);  // record 4095 lacks its blue byte
    ASSERT_TRUE(load_bytes(bytes));
    size_t last = 4095 * 7;
    EXPECT_EQ(cells[0][63][63], bytes[last] << 8 | bytes[last + 1]);
    EXPECT_EQ(cell_colors[63][63][1], bytes[last + 5]);
    EXPECT_EQ(cell_colors[63][63][2], bytes[4094 * 7 + 6]);  // from record 4094
}

TEST(LoadLevel, CellWordsAreBigEndianAndRowMajor)
{
    fresh_world();
    std::vector<uint8_t> bytes(LEVEL_GRID_BYTES, 0);
    size_t k = 2 * 64 + 5;  // row 2, column 5
    bytes[k * 7 + 0] = 0x10;
    bytes[k * 7 + 1] = 0x1F;
    bytes[k * 7 + 2] = 0x49;
    bytes[k * 7 + 3] = 0xDF;
    bytes[k * 7 + 4] = 0;
    bytes[k * 7 + 5] = 0;
    bytes[k * 7 + 6] = 255;
    ASSERT_TRUE(load_bytes(bytes));
    EXPECT_EQ(cells[0][2][5], 0x101F);
    EXPECT_EQ(cells[1][2][5], 0x49DF);
    EXPECT_EQ(cell_colors[2][5][2], 255);
    EXPECT_EQ(cells[0][5][2], 0);
}

TEST(LoadLevel, EntityFieldsAndSignedBytes)
{
    fresh_world();
    entities[0].drive_fwd = 3;
    entities[0].heading = 2;
    std::vector<uint8_t> bytes = grid_bytes();
    bytes.push_back(2);
    append_entity(&bytes, {0, -1, 5, 9, -1, 20, -128, 127, 1, -2});
    append_entity(&bytes, {1, 10, 11, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(load_bytes(bytes));
    ASSERT_EQ(entity_count, 2);
    const Entity& e = entities[0];
    EXPECT_EQ(e.type, 0);
    EXPECT_DOUBLE_EQ(e.x, -0.5);  // row byte 0xFF
    EXPECT_DOUBLE_EQ(e.y, 5.5);
    EXPECT_DOUBLE_EQ(e.z, 0.375);  // height byte unused; offset added to 0
    EXPECT_DOUBLE_EQ(e.vx, -0.1);  // 0xFF / 10
    EXPECT_DOUBLE_EQ(e.vy, 2.0);
    EXPECT_DOUBLE_EQ(e.vz, -12.8);
    EXPECT_DOUBLE_EQ(e.param1, 12.7);
    EXPECT_DOUBLE_EQ(e.param2, 0.1);
    EXPECT_DOUBLE_EQ(e.param3, -0.2);
    EXPECT_EQ(e.drive_fwd, 0.0);
    EXPECT_EQ(e.heading, 0.0);
    EXPECT_DOUBLE_EQ(entities[1].z, 0.375);
    EXPECT_EQ(block_index, -1);
}

TEST(LoadLevel, HeightOffsetsAddToWhatTheSlotHolds)
{
    fresh_world();
    for (int i = 0; i < 4; i++) entities[i].z = 2.0;
    std::vector<uint8_t> bytes = grid_bytes();
    bytes.push_back(4);
    append_entity(&bytes, {0, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    append_entity(&bytes, {1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    append_entity(&bytes, {2, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    append_entity(&bytes, {3, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(load_bytes(bytes));
    EXPECT_DOUBLE_EQ(entities[0].z, 2.375);
    EXPECT_DOUBLE_EQ(entities[1].z, 2.375);
    EXPECT_DOUBLE_EQ(entities[2].z, 2.5);
    EXPECT_DOUBLE_EQ(entities[3].z, 2.0);
}

TEST(LoadLevel, LastBlockRecordWinsAndIndexPersists)
{
    fresh_world();
    std::vector<uint8_t> bytes = grid_bytes();
    bytes.push_back(3);
    append_entity(&bytes, {2, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    append_entity(&bytes, {0, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    append_entity(&bytes, {2, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(load_bytes(bytes));
    EXPECT_EQ(block_index, 2);

    // A later level without a block keeps the old index.
    std::vector<uint8_t> next = grid_bytes();
    next.push_back(1);
    append_entity(&next, {0, 1, 1, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(load_bytes(next));
    EXPECT_EQ(block_index, 2);
}

TEST(LoadLevel, SlotsBeyondCountPersist)
{
    fresh_world();
    std::vector<uint8_t> first = grid_bytes();
    first.push_back(3);
    for (int i = 0; i < 3; i++) append_entity(&first, {1, static_cast<int8_t>(10 + i), 4, 0, 3, 0, 0, 0, 0, 0});
    ASSERT_TRUE(load_bytes(first));
    std::vector<uint8_t> second = grid_bytes();
    second.push_back(1);
    append_entity(&second, {0, 7, 7, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(load_bytes(second));
    EXPECT_EQ(entity_count, 1);
    EXPECT_DOUBLE_EQ(entities[0].x, 7.5);
    EXPECT_DOUBLE_EQ(entities[0].z, 0.75);  // 0.375 left by the first level, plus 0.375
    EXPECT_EQ(entities[1].type, 1);
    EXPECT_DOUBLE_EQ(entities[2].x, 12.5);
    EXPECT_DOUBLE_EQ(entities[2].vx, 0.3);
}

TEST(LoadLevel, EntityRecordCounts)
{
    struct Case {
        const char* name;
        int count_byte;        // -1: no count byte
        size_t record_bytes;   // bytes of entity records present
        bool loads;
        int expected_count;
    };
    const Case cases[] = {
        {"no count byte", -1, 0, true, 0},
        {"count 0", 0, 0, true, 0},
        {"all three records", 3, 30, true, 3},
        {"last record missing: count - 1 is enough", 3, 20, true, 3},
        {"last record cut short", 3, 25, true, 3},
        {"two records missing", 3, 10, false, 3},
        {"count 1, no record", 1, 0, true, 1},
        {"count 2, no record", 2, 0, false, 2},
        {"32 slots", 32, 320, true, 32},
        {"count above the table is refused", 33, 330, false, 0},
        {"count 255 is refused", 255, 2550, false, 0},
    };
    for (const Case& c : cases) {
        fresh_world();
        std::vector<uint8_t> bytes = grid_bytes();
        if (c.count_byte >= 0) bytes.push_back(static_cast<uint8_t>(c.count_byte));
        for (size_t i = 0; i < c.record_bytes; i++) bytes.push_back(i % 10 == 0 ? 1 : 2);
        EXPECT_EQ(load_bytes(bytes), c.loads) << c.name;
        EXPECT_EQ(entity_count, c.expected_count) << c.name;
    }
}

TEST(LoadLevel, CutShortEntityRecordTakesPreviousOrZeroBytes)
{
    fresh_world();
    std::vector<uint8_t> bytes = grid_bytes();
    bytes.push_back(2);
    append_entity(&bytes, {1, 3, 4, 0, 5, 6, 7, 8, 9, 10});
    append_entity(&bytes, {1, 20, 21});  // the rest comes from the record before
    ASSERT_TRUE(load_bytes(bytes));
    EXPECT_DOUBLE_EQ(entities[1].x, 20.5);
    EXPECT_DOUBLE_EQ(entities[1].vx, 0.5);
    EXPECT_DOUBLE_EQ(entities[1].param3, 1.0);

    // A first record cut short has no record before it: its missing bytes are zero.
    fresh_world();
    std::vector<uint8_t> single = grid_bytes();
    single.push_back(1);
    append_entity(&single, {1, 8});
    ASSERT_TRUE(load_bytes(single));
    EXPECT_DOUBLE_EQ(entities[0].x, 8.5);
    EXPECT_DOUBLE_EQ(entities[0].y, 0.5);
    EXPECT_DOUBLE_EQ(entities[0].vx, 0.0);
}

TEST(LoadLevel, BytesAfterRecordsIgnored)
{
    fresh_world();
    std::vector<uint8_t> bytes = grid_bytes();
    bytes.push_back(1);
    append_entity(&bytes, {0, 2, 3, 0, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < 1000; i++) bytes.push_back(0xAB);
    ASSERT_TRUE(load_bytes(bytes));
    EXPECT_EQ(entity_count, 1);
}

TEST(CellAt, OutsideTheGridIsEmpty)
{
    fresh_world();
    cells[1][63][0] = 0x101F;
    cells[0][0][63] = 0x0004;
    EXPECT_EQ(cell_at(1, 63, 0), 0x101F);
    EXPECT_EQ(cell_at(0, 0, 63), 0x0004);
    EXPECT_EQ(cell_at(2, 63, 0), 0);
    EXPECT_EQ(cell_at(-1, 0, 63), 0);
    EXPECT_EQ(cell_at(0, -1, 63), 0);
    EXPECT_EQ(cell_at(0, 0, 64), 0);
    EXPECT_EQ(cell_at(0, 64, 0), 0);
    EXPECT_EQ(cell_at(0, INT32_MIN, INT32_MAX), 0);
}

TEST(Trig, AngleIndex)
{
    struct Case {
        double angle;
        int index;
    };
    const Case cases[] = {
        {0.0, 0},       {0.1, 16},     {-0.005, 0},   {-0.01, 1023},
        {-0.001, 0},    {6.283185307179586, 0},       {3.14159, 511},
        {1e300, 1023},  {-1e300, 0},   {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(angle_index(c.angle), c.index) << c.angle;
}

TEST(Trig, TablesFollowTheirAngles)
{
    build_trig_tables();
    EXPECT_EQ(sin_table[0], 0.0);
    EXPECT_EQ(cos_table[0], 1.0);
    EXPECT_EQ(sin_table[256], std::sin((256 / 1024.0) * 6.283185307179586));
    EXPECT_NEAR(sin_table[16], 0.0980171403, 1e-9);
    EXPECT_NEAR(cos_table[16], 0.9951847267, 1e-9);
    EXPECT_NEAR(cos_table[512], -1.0, 1e-15);
}

TEST(Numeric, ClampToInt32)
{
    struct Case {
        double value;
        int32_t expected;
    };
    const Case cases[] = {
        {1.9, 1},
        {-1.9, -1},
        {-0.5, 0},
        {2147483647.9, INT32_MAX},
        {2147483648.0, INT32_MAX},
        {-2147483648.9, INT32_MIN},
        {-1e20, INT32_MIN},
        {std::numeric_limits<double>::infinity(), INT32_MAX},
        {-std::numeric_limits<double>::infinity(), INT32_MIN},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(clamp_to_int32(c.value), c.expected) << c.value;
    EXPECT_EQ(clamp_to_int64(-1e300), INT64_MIN);
    EXPECT_EQ(clamp_to_int64(9.3e18), INT64_MAX);
    EXPECT_EQ(clamp_to_int64(-3.7), -3);
}
