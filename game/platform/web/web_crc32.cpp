// CRC-32 (the reflected polynomial 0xEDB88320 of zlib and PNG) for the browser build,
// where zlib is not at hand: the frames' checksums in traces and the PNG chunks.
#include "zlib.h"

#include <cstdint>

namespace {

uint32_t crc_table[256];
bool crc_table_built;

void build_crc_table()
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crc_table[n] = c;
    }
    crc_table_built = true;
}

}  // namespace

unsigned long crc32(unsigned long crc, const unsigned char* bytes, unsigned int length)
{
    if (!bytes) return 0;
    if (!crc_table_built) build_crc_table();
    uint32_t c = static_cast<uint32_t>(crc) ^ 0xFFFFFFFFu;
    for (unsigned int i = 0; i < length; i++) c = crc_table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}
