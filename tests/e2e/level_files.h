// Small level files written by the tests: a plain floor with the ball, and optionally
// a goal square under it or a wanderer right beside it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/level/level_file.h"

enum class TestLevel { plain, goal, wanderer };

inline bool write_test_level(const char* name, TestLevel kind)
{
    std::vector<uint8_t> bytes(LEVEL_GRID_BYTES, 0);
    for (int record = 0; record < LEVEL_GRID_RECORDS; record++) {
        uint8_t* r = &bytes[static_cast<size_t>(record) * LEVEL_CELL_RECORD_SIZE];
        r[LEVEL_CELL_RED] = 120;
        r[LEVEL_CELL_GREEN] = 130;
        r[LEVEL_CELL_BLUE] = 90;
    }
    if (kind == TestLevel::goal) {  // the ball's square, row 5 column 5, pure blue
        uint8_t* r = &bytes[static_cast<size_t>(5 * 64 + 5) * LEVEL_CELL_RECORD_SIZE];
        r[LEVEL_CELL_RED] = 0;
        r[LEVEL_CELL_GREEN] = 0;
        r[LEVEL_CELL_BLUE] = 255;
    }
    std::vector<std::vector<uint8_t>> entities = {{0, 5, 5, 0, 0, 0, 0, 0, 0, 0}};
    if (kind == TestLevel::wanderer) entities.push_back({1, 5, 5, 0, 0, 0, 0, 0, 0, 0});
    bytes.push_back(static_cast<uint8_t>(entities.size()));
    for (const auto& e : entities) bytes.insert(bytes.end(), e.begin(), e.end());
    std::FILE* file = std::fopen(name, "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
