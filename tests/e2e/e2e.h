// Shared by the end-to-end tests: a fresh working directory for each test, files read
// whole, and small level files written by the tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/level/level_file.h"

namespace fs = std::filesystem;

class InFreshDir : public ::testing::Test {
protected:
    fs::path old_dir = fs::current_path();
    fs::path dir = fs::temp_directory_path() /
                   ("maze_e2e_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "." +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }
};

inline std::string read(const fs::path& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A plain floor with the ball at row 5 column 5, and a goal square under it (pure blue)
// or a wanderer beside it.
enum class TestLevel { plain, goal, wanderer };

inline bool write_test_level(const char* name, TestLevel kind)
{
    std::vector<uint8_t> bytes(LEVEL_GRID_BYTES, 0);
    for (int record = 0; record < LEVEL_GRID_RECORDS; record++) {
        uint8_t* r = &bytes[static_cast<size_t>(record) * LEVEL_CELL_RECORD_SIZE];
        bool blue = kind == TestLevel::goal && record == 5 * 64 + 5;
        r[LEVEL_CELL_RED] = blue ? 0 : 120;
        r[LEVEL_CELL_GREEN] = blue ? 0 : 130;
        r[LEVEL_CELL_BLUE] = blue ? 255 : 90;
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
