// load_level on arbitrary file contents: it must never read or write past its tables,
// and what it reports must agree with the bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "world/world.h"

namespace {

std::string level_path()
{
    static std::string path = "/tmp/fuzz_load_level_" + std::to_string(getpid()) + ".lvx";
    return path;
}

void check(bool ok)
{
    if (!ok) std::abort();
}

// Inputs that start with the marker byte stand for a whole grid of (mostly) zero records
// followed by the rest of the input, so short inputs reach the entity part; the byte after
// the marker cuts 0..7 bytes off that grid. Any other input is the file itself.
constexpr uint8_t grid_marker = 0xA5;
uint8_t file_bytes[1 << 20];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t input_size)
{
    const uint8_t* data = input;
    size_t size = input_size;
    if (input_size >= 2 && input[0] == grid_marker) {
        size_t grid = LEVEL_GRID_BYTES - input[1] % 8;
        if (grid + input_size - 2 > sizeof file_bytes) return 0;
        std::memset(file_bytes, 0, grid);
        file_bytes[5] = input[1];  // one non-zero colour byte
        std::memcpy(file_bytes + grid, input + 2, input_size - 2);
        data = file_bytes;
        size = grid + input_size - 2;
    }
    std::FILE* f = std::fopen(level_path().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::memset(cells, 0, sizeof cells);
    std::memset(cell_colors, 0, sizeof cell_colors);
    std::memset(entities, 0, sizeof entities);
    entity_count = 0;
    block_index = -1;

    bool loaded = load_level(level_path().c_str());
    check(entity_count >= 0 && entity_count <= ENTITY_SLOTS);
    check(block_index >= -1 && block_index < ENTITY_SLOTS);
    // Shorter than the grid with its last record cut to one byte: refused.
    const size_t min_size = LEVEL_GRID_BYTES - LEVEL_CELL_RECORD_SIZE + 1;
    if (size < min_size) check(!loaded);
    if (size >= min_size) {
        // Every complete grid record is stored as it stands.
        for (int k = 0; k < LEVEL_GRID_RECORDS - 1; k++) {
            const uint8_t* r = data + k * LEVEL_CELL_RECORD_SIZE;
            check(cells[0][k / GRID_SIZE][k % GRID_SIZE] == (r[0] << 8 | r[1]));
            check(cells[1][k / GRID_SIZE][k % GRID_SIZE] == (r[2] << 8 | r[3]));
            check(std::memcmp(cell_colors[k / GRID_SIZE][k % GRID_SIZE], r + 4, 3) == 0);
        }
    }
    if (loaded && size > LEVEL_GRID_BYTES) {
        check(entity_count == data[LEVEL_COUNT_OFFSET]);
        for (int q = 0; q < entity_count; q++) {
            size_t at = LEVEL_COUNT_OFFSET + 1 + static_cast<size_t>(q) * LEVEL_ENTITY_RECORD_SIZE;
            if (at + LEVEL_ENTITY_RECORD_SIZE > size) break;
            check(entities[q].type == static_cast<int8_t>(data[at]));
            check(entities[q].x == static_cast<int8_t>(data[at + 1]) + 0.5);
        }
    }
    if (size > LEVEL_GRID_BYTES && data[LEVEL_COUNT_OFFSET] > ENTITY_SLOTS) check(!loaded);
    return 0;
}
