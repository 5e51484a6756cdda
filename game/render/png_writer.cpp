#include "render/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "render/frame.h"
#include "common/level/file_replace.h"

// libpng reports errors by longjmp; everything it touches is plain data, so nothing
// with a destructor lives across the jump.
static bool write_png_file(std::FILE* file, const uint8_t* frame, const uint8_t palette[256][3])
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, SCREEN_WIDTH, SCREEN_HEIGHT, 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[256];
    for (int i = 0; i < 256; i++) {
        colours[i].red = palette[i][0];
        colours[i].green = palette[i][1];
        colours[i].blue = palette[i][2];
    }
    png_set_PLTE(png, info, colours, 256);
    png_write_info(png, info);
    for (int y = 0; y < SCREEN_HEIGHT; y++) {
        png_write_row(png, const_cast<png_bytep>(frame + y * SCREEN_WIDTH));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool write_frame_png(const char* path, const uint8_t* frame, const uint8_t palette[256][3])
{
    if (!path || !frame || !palette || !*path) return false;
    // Written to a new file of its own beside the target (never one planted there, nor
    // through a link) and renamed into place, so a failure never leaves a partial file
    // under the requested name.
    std::string temp;
    std::FILE* file = create_temp_beside(path, &temp);
    if (!file) return false;
    bool ok = write_png_file(file, frame, palette);
    if (!finish_temp(file)) ok = false;
    if (ok && std::rename(temp.c_str(), path) != 0) ok = false;
    if (!ok) std::remove(temp.c_str());
    return ok;
}
