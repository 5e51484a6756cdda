#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "render/png_writer.h"
#include "render_test_util.h"

using namespace render_test;

TEST(PngWriter, IndexedFrameWithThePalette)
{
    reset_frame(0);
    for (int i = 0; i < SCREEN_PIXELS; i++) frame[i] = static_cast<uint8_t>(i % 253);
    std::string path = std::string(::testing::TempDir()) + "frame_test_" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(write_frame_png(path.c_str(), frame, palette));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 640u);
    EXPECT_EQ(image.height, 480u);
    EXPECT_TRUE(image.format & PNG_FORMAT_FLAG_COLORMAP);
    image.format = PNG_FORMAT_RGB_COLORMAP;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    std::vector<uint8_t> colormap(PNG_IMAGE_COLORMAP_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, colormap.data()));
    for (int i : {0, 1, 251, 252, 640 * 480 - 1}) {
        int index = pixels[i];
        for (int c = 0; c < 3; c++) EXPECT_EQ(colormap[index * 3 + c], palette[frame[i]][c]) << i;
    }
    std::remove(path.c_str());
}

TEST(PngWriter, FailureLeavesNoFile)
{
    reset_frame(0);
    std::string dir = std::string(::testing::TempDir()) + "no_such_dir_for_png/frame.png";
    EXPECT_FALSE(write_frame_png(dir.c_str(), frame, palette));
    EXPECT_EQ(std::fopen(dir.c_str(), "rb"), nullptr);
    // A target that cannot take the file (a directory): the written data is removed again.
    std::string target = std::string(::testing::TempDir()) + "png_target_dir_" + std::to_string(getpid());
    std::filesystem::create_directories(target);
    EXPECT_FALSE(write_frame_png(target.c_str(), frame, palette));
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));
    EXPECT_TRUE(std::filesystem::is_directory(target));
    std::filesystem::remove(target);
    EXPECT_FALSE(write_frame_png("", frame, palette));
    EXPECT_FALSE(write_frame_png(nullptr, frame, palette));
}
