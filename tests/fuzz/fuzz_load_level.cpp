// load_level on arbitrary file contents: it must never read or write past its tables, and
// whether it accepts the file and the count it reports must agree with the bytes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "world/world.h"

// An input that starts with the marker byte stands for a grid of zero records, cut short by
// 0..7 bytes as the next byte says, and then the rest of the input: so short inputs reach the
// entity part. Any other input is the file itself.
constexpr uint8_t grid_marker = 0xA5;
static uint8_t file_bytes[1 << 20];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size >= 2 && data[0] == grid_marker) {
        const size_t grid = LEVEL_GRID_BYTES - data[1] % 8, n = grid + size - 2;
        if (n > sizeof file_bytes) return 0;
        std::memset(file_bytes, 0, grid);
        file_bytes[5] = data[1];  // one non-zero colour byte
        std::memcpy(file_bytes + grid, data + 2, size - 2);
        data = file_bytes;
        size = n;
    }
    static const std::string path = "/tmp/fuzz_load_level_" + std::to_string(getpid()) + ".lvx";
    // The scratch file goes when the fuzzer ends.
    static const int removal = std::atexit([] { std::remove(path.c_str()); });
    (void)removal;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const bool loaded = load_level(path.c_str());

    // Refused: a grid whose last record is not even one byte long, a count above the 32 slots, or
    // more than one record missing (a record cut short counts).
    const long n = static_cast<long>(size), count = n > LEVEL_GRID_BYTES ? data[LEVEL_COUNT_OFFSET] : 0;
    const long records = n > LEVEL_GRID_BYTES ? (n - LEVEL_GRID_BYTES + 8) / LEVEL_ENTITY_RECORD_SIZE : 0;
    const bool accepted = n > LEVEL_GRID_BYTES - LEVEL_CELL_RECORD_SIZE && count <= ENTITY_SLOTS && records >= count - 1;
    const bool in_tables = entity_count >= 0 && entity_count <= ENTITY_SLOTS && block_index >= -1 && block_index < ENTITY_SLOTS;
    if (loaded != accepted || (loaded && entity_count != count) || !in_tables) std::abort();
    return 0;
}
