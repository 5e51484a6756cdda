#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/level/level_text.h"
#include "world/numeric.h"
#include "world/trig.h"
#include "world/world.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A grid whose bytes all differ from their neighbours, so a record taken from the wrong
// place shows; then a count byte (-1: none) and the entity records given.
Bytes level_bytes(int count = -1, std::vector<std::vector<int8_t>> records = {})
{
    Bytes bytes(LEVEL_GRID_BYTES);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    if (count >= 0) bytes.push_back(static_cast<uint8_t>(count));
    for (const auto& record : records)
        for (int8_t v : record) bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

bool load_bytes(const Bytes& bytes)
{
    // Tests run as parallel processes: each writes its own file.
    std::string path = ::testing::TempDir() + "level_test_" + std::to_string(getpid()) + ".lvx";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bool loaded = load_level(path.c_str());
    std::remove(path.c_str());
    return loaded;
}

// The offset of the grid record of a square.
size_t cell(int row, int col) { return static_cast<size_t>(row * 64 + col) * LEVEL_CELL_RECORD_SIZE; }

void fresh_world()
{
    std::memset(entities, 0, sizeof entities);
    entity_count = 0;
    block_index = -1;
}

}  // namespace

// Grid and entity lengths: which files load, and the entity count they leave.
TEST(LoadLevel, LengthsAndRecordCounts)
{
    const struct { const char* name; size_t grid; int count_byte; size_t record_bytes; bool loads; int count; } cases[] = {
        {"grid", 28672, -1, 0, true, 0}, {"last record without blue", 28671, -1, 0, true, 0},
        {"last record without colours", 28666, -1, 0, true, 0}, {"last record cut in its cell words", 28665, -1, 0, false, 0},
        {"empty", 0, -1, 0, false, 0}, {"count 0", 28672, 0, 0, true, 0}, {"all three records", 28672, 3, 30, true, 3},
        {"last record missing: count - 1 is enough", 28672, 3, 20, true, 3}, {"last record cut short", 28672, 3, 25, true, 3},
        {"two records missing", 28672, 3, 10, false, 3}, {"count 1, no record", 28672, 1, 0, true, 1},
        {"count 2, no record", 28672, 2, 0, false, 2}, {"bytes after the records", 28672, 1, 1000, true, 1},
        // 255 read as a signed byte would pass as below 32.
        {"32 slots", 28672, 32, 320, true, 32}, {"count above the table is refused", 28672, 33, 330, false, 0},
        {"count 255 is refused", 28672, 255, 2550, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_world();
        Bytes bytes = level_bytes(c.count_byte);
        bytes.resize(c.grid + (c.count_byte >= 0) + c.record_bytes, 1);
        EXPECT_EQ(load_bytes(bytes), c.loads);
        EXPECT_EQ(entity_count, c.count);
    }
    EXPECT_FALSE(load_level((::testing::TempDir() + "no_such_level.lvx").c_str()));
}

// Cell words big-endian, row-major, layer 0 first; at 28671 bytes the last record lacks its
// blue byte and keeps the one before it.
TEST(LoadLevel, CellWordsAndCutShortRecord)
{
    Bytes bytes = level_bytes();
    bytes.resize(28671);
    ASSERT_TRUE(load_bytes(bytes));
    const size_t k = cell(2, 5), last = cell(63, 63);
    EXPECT_EQ(cells[0][2][5], bytes[k] << 8 | bytes[k + 1]);
    EXPECT_EQ(cells[1][2][5], bytes[k + 2] << 8 | bytes[k + 3]);
    EXPECT_EQ(cell_colors[2][5][2], bytes[k + 6]);
    EXPECT_EQ(cells[0][63][63], bytes[last] << 8 | bytes[last + 1]);
    EXPECT_EQ(cell_colors[63][63][1], bytes[last + 5]);
    EXPECT_EQ(cell_colors[63][63][2], bytes[cell(63, 62) + 6]);
}

// The fields a record sets, exactly: type, x y z, vx vy vz, param1 param3, drive_fwd, heading.
std::vector<double> loaded_fields(const Entity& e)
{
    return {static_cast<double>(e.type), e.x, e.y, e.z, e.vx, e.vy, e.vz, e.param1, e.param3, e.drive_fwd, e.heading};
}

TEST(LoadLevel, EntityFieldsFromSignedBytes)
{
    fresh_world();
    entities[0].drive_fwd = 3;
    entities[0].heading = 2;
    // Row byte 0xFF is x -0.5, the height byte is not used, 0xFF / 10 is vx -0.1. The second
    // record is cut short: the rest comes from the record before.
    ASSERT_TRUE(load_bytes(level_bytes(2, {{0, -1, 5, 9, -1, 20, -128, 127, 1, -2}, {1, 20, 21}})));
    ASSERT_EQ(entity_count, 2);
    EXPECT_EQ(loaded_fields(entities[0]), (std::vector<double>{0, -0.5, 5.5, 0.375, -0.1, 2, -12.8, 12.7, -0.2, 0, 0}));
    EXPECT_EQ(loaded_fields(entities[1]), (std::vector<double>{1, 20.5, 21.5, 0.375, -0.1, 2, -12.8, 12.7, -0.2, 0, 0}));

    // A first record cut short has no record before it: its missing bytes are zero.
    fresh_world();
    ASSERT_TRUE(load_bytes(level_bytes(1, {{1, 8}})));
    EXPECT_EQ(loaded_fields(entities[0]), (std::vector<double>{1, 8.5, 0.5, 0.375, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(LoadLevel, SlotsPersistBetweenLevels)
{
    fresh_world();
    // The last block counts.
    ASSERT_TRUE(load_bytes(level_bytes(4, {{2, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {1, 11, 4, 0, 3, 0, 0, 0, 0, 0},
                                           {2, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {3, 12, 4, 0, 0, 0, 0, 0, 0, 0}})));
    EXPECT_EQ(block_index, 2);
    EXPECT_DOUBLE_EQ(entities[0].z, 0.5);
    EXPECT_DOUBLE_EQ(entities[1].z, 0.375);
    EXPECT_DOUBLE_EQ(entities[3].z, 0.0);  // other types get no offset

    ASSERT_TRUE(load_bytes(level_bytes(2, {{0, 7, 7, 0, 0, 0, 0, 0, 0, 0}, {1, 7, 8, 0, 0, 0, 0, 0, 0, 0}})));
    EXPECT_EQ(entity_count, 2);
    EXPECT_DOUBLE_EQ(entities[0].z, 0.875);  // the ball's offset adds to what the slot held
    EXPECT_DOUBLE_EQ(entities[1].z, 0.375);  // a wanderer, which feels no gravity, starts fresh
    EXPECT_EQ(block_index, 2);               // not reset by a level without a block
    EXPECT_EQ(entities[2].type, 2);          // slots beyond the count keep their contents
    EXPECT_DOUBLE_EQ(entities[3].x, 12.5);
}

// The text form of a cell word, both ways.
TEST(LevelText, CellWordsAndTheirEightCharacters)
{
    const struct { const char* text; uint16_t word; } read[] = {
        {"110010N3", 0x1913}, {"11111 W9", 0x49DF}, {"111110F2", 0x101F}, {"000000S0", 0x0140}, {"000000E1", 0x0980},
        // Letters only in upper case; anything but "1" sets no face bit; ':' follows '9' but is no digit.
        {"000000n0", 0x0000}, {"222222X0", 0x0000}, {"000001F:", 0x0020},
    };
    for (const auto& c : read) EXPECT_EQ(cell_word_from_text(c.text), c.word) << c.text;

    // Written back: what the text cannot say is dropped, height codes above 9 become 9.
    const struct { uint16_t word; const char* text; bool says_all; } written[] = {
        {0x1913, "110010N3", true}, {0x49DF, "111110W9", true}, {0x003F, "111111F0", true},
        {0x0140, "000000S0", true}, {0x0000, "000000F0", true}, {0x5000, "000000F9", false}, {0x4800, "000000F9", true},
        {0x0040, "000000F0", false}, {0x00C0, "000000F0", false}, {0x0200, "000000F0", false}, {0x803F, "111111F9", false},
    };
    for (const auto& c : written) {
        char text[CELL_TEXT_LENGTH + 1];
        cell_text_from_word(c.word, text);
        EXPECT_STREQ(text, c.text) << c.word;
        EXPECT_EQ(cell_text_says_all(c.word), c.says_all) << c.word;
    }
}

// How the bytes after the grid split into records, for the loader and mazedump alike.
TEST(LevelRecords, SplitOfTheEntityPart)
{
    const struct { const char* name; int count_byte; size_t record_bytes; int records, cut_short; long used; } cases[] = {
        {"no count byte", -1, 0, 0, -1, 28672}, {"two records", 2, 20, 2, -1, 28693},
        {"bytes after the records", 1, 25, 1, -1, 28683}, {"count above the slots", 40, 400, 32, -1, 28673 + 320},
        {"count, no records", 3, 0, 0, -1, 28673}, {"one record and a part", 2, 13, 2, 1, 28686},  // last: checked below
    };
    for (const auto& c : cases) {
        Bytes bytes = level_bytes(c.count_byte);
        for (size_t i = 0; i < c.record_bytes; i++) bytes.push_back(static_cast<uint8_t>(100 + i));
        split_level_records(bytes.data(), static_cast<long>(bytes.size()));
        EXPECT_EQ(level_records.grid_records, 4096) << c.name;
        EXPECT_EQ(level_records.count, c.count_byte) << c.name;
        EXPECT_EQ(level_records.entity_records, c.records) << c.name;
        EXPECT_EQ(level_records.cut_short_entity, c.cut_short) << c.name;
        EXPECT_EQ(level_records.used_bytes, c.used) << c.name;
    }
    // The part takes the bytes it lacks from the record before it.
    EXPECT_EQ(level_records.entity[0][9], 109);
    EXPECT_EQ(level_records.entity[1][2], 112);
    EXPECT_EQ(level_records.entity[1][3], 103);
}

TEST(CellAt, OutsideTheGridIsEmpty)
{
    std::memset(cells, 0, sizeof cells);
    cells[1][63][0] = 0x101F;
    EXPECT_EQ(cell_at(1, 63, 0), 0x101F);
    const struct { const char* name; int layer, row, col; } outside[] = {
        {"layer 2", 2, 63, 0}, {"layer -1", -1, 63, 0}, {"row 64", 1, 64, 0}, {"column -1", 1, 63, -1},
        {"int extremes", 0, INT32_MIN, INT32_MAX}};
    for (const auto& o : outside) EXPECT_EQ(cell_at(o.layer, o.row, o.col), 0) << o.name;
}

// The table index truncates toward zero and keeps the low 10 bits. The tables are compiled
// in as glibc computes them, bit for bit: another C library (WebAssembly's musl) rounds some
// entries the other way, and the frames must be the same on every one.
TEST(Trig, AngleIndexAndTablesTheSameOnEveryLibrary)
{
    const struct { double angle; int index; } cases[] = {
        {0.0, 0},   {0.1, 16},   {-0.005, 0}, {-0.01, 1023}, {6.283185307179586, 0},
        {1e300, 1023}, {-1e300, 0}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(angle_index(c.angle), c.index) << c.angle;
    build_trig_tables();
    for (int i = 0; i < TRIG_TABLE_SIZE; i++) {
        double a = (i / 1024.0) * 6.283185307179586;
        EXPECT_EQ(sin_table[i], std::sin(a)) << "sin " << i;
        EXPECT_EQ(cos_table[i], std::cos(a)) << "cos " << i;
    }
}

TEST(Numeric, ClampToInt32)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double value; int32_t expected; } cases[] = {
        {1.9, 1}, {-1.9, -1}, {2147483647.9, INT32_MAX}, {2147483648.0, INT32_MAX},
        {-2147483648.9, INT32_MIN}, {inf, INT32_MAX}, {-inf, INT32_MIN}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(clamp_to_int32(c.value), c.expected) << c.value;
    EXPECT_EQ(clamp_to_int64(-1e300), INT64_MIN);
    EXPECT_EQ(clamp_to_int64(-3.7), -3);
}
