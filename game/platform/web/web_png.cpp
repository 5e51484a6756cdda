// Frames as 8-bit indexed PNG files for the browser build, which has no libpng: the
// image data goes into stored (uncompressed) deflate blocks, so only CRC-32 and Adler-32
// are needed. The pictures are those of the native writer; the files are larger.
#include <cstdio>
#include <string>
#include <vector>

#include "render/frame.h"
#include "render/png_writer.h"
#include "common/level/file_replace.h"
#include "zlib.h"

namespace {

void put_u32(std::vector<uint8_t>* out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void put_chunk(std::vector<uint8_t>* out, const char type[4], const std::vector<uint8_t>& data)
{
    put_u32(out, static_cast<uint32_t>(data.size()));
    size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    unsigned long crc = crc32(0, Z_NULL, 0);
    crc = crc32(crc, out->data() + start, static_cast<unsigned int>(out->size() - start));
    put_u32(out, static_cast<uint32_t>(crc));
}

// The zlib stream of the rows, each led by filter byte 0, in stored blocks of at most
// 65535 bytes.
std::vector<uint8_t> stored_image_data(const uint8_t* frame)
{
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(SCREEN_HEIGHT) * (SCREEN_WIDTH + 1));
    for (int y = 0; y < SCREEN_HEIGHT; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), frame + y * SCREEN_WIDTH, frame + (y + 1) * SCREEN_WIDTH);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t at = 0;
    do {
        size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
        bool last = at + length == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(length));
        z.push_back(static_cast<uint8_t>(length >> 8));
        z.push_back(static_cast<uint8_t>(~length));
        z.push_back(static_cast<uint8_t>(~length >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;  // Adler-32 of the uncompressed bytes
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32(&z, (b << 16) | a);
    return z;
}

}  // namespace

bool write_frame_png(const char* path, const uint8_t* frame, const uint8_t palette[256][3])
{
    if (!path || !frame || !palette || !*path) return false;
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put_u32(&header, SCREEN_WIDTH);
    put_u32(&header, SCREEN_HEIGHT);
    header.insert(header.end(), {8, 3, 0, 0, 0});  // 8 bits, indexed, deflate, no filter, no interlace
    put_chunk(&png, "IHDR", header);
    put_chunk(&png, "PLTE", std::vector<uint8_t>(&palette[0][0], &palette[0][0] + 256 * 3));
    put_chunk(&png, "IDAT", stored_image_data(frame));
    put_chunk(&png, "IEND", {});
    // As the native writer: a file of its own beside the target, renamed into place.
    std::string temp;
    std::FILE* file = create_temp_beside(path, &temp);
    if (!file) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (!finish_temp(file)) ok = false;
    if (ok && std::rename(temp.c_str(), path) != 0) ok = false;
    if (!ok) std::remove(temp.c_str());
    return ok;
}
