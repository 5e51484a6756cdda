// Shared by the end-to-end tests: a fresh working directory for each test, files read
// whole, and small level files written by the tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/level/level_file.h"

namespace fs = std::filesystem;

class InFreshDir : public ::testing::Test {
protected:
    fs::path old_dir = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("maze_e2e_" + std::to_string(getpid()) + "_" +
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

// A plain floor with the ball at row 5 column 5, and a goal square (pure blue) under it
// or a wanderer on it.
enum class TestLevel { plain, goal, wanderer };

inline bool write_test_level(const char* name, TestLevel kind)
{
    // Each square: two cell words with no faces, then its red, green and blue.
    const std::string floor("\0\0\0\0\x78\x82\x5a", 7), blue("\0\0\0\0\0\0\xff", 7);
    std::string bytes;
    for (int record = 0; record < LEVEL_GRID_RECORDS; record++)
        bytes += kind == TestLevel::goal && record == 5 * 64 + 5 ? blue : floor;
    // The count, then each entity: its type, row, column and seven zeros.
    const std::string ball("\0\5\5\0\0\0\0\0\0\0", 10), wanderer("\1\5\5\0\0\0\0\0\0\0", 10);
    bytes += kind == TestLevel::wanderer ? '\2' + ball + wanderer : '\1' + ball;
    std::ofstream out(name, std::ios::binary);
    return static_cast<bool>(out << bytes << std::flush);
}
