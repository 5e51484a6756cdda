#include "world/world.h"

#include "world/rules.h"

#include <cstdio>
#include <cstring>

uint16_t cells[GRID_LAYERS][GRID_SIZE][GRID_SIZE];
uint8_t cell_colors[GRID_SIZE][GRID_SIZE][3];
Entity entities[ENTITY_SLOTS];
int32_t entity_count;
int32_t player_index = 0;
int32_t block_index = -1;

namespace {

// The most of a file that can matter: the grid, the count byte and a full table.
constexpr int max_level_bytes =
    LEVEL_GRID_BYTES + 1 + ENTITY_SLOTS * LEVEL_ENTITY_RECORD_SIZE;

uint8_t file_bytes[max_level_bytes];

// Copies the next record into `record`; a record cut short by the end of the file keeps
// the bytes it lacks from what `record` held before. False when no byte is left.
bool next_record(int size, int* pos, uint8_t* record, int record_size)
{
    if (*pos >= size) return false;
    int available = size - *pos;
    int take = available < record_size ? available : record_size;
    std::memcpy(record, file_bytes + *pos, static_cast<size_t>(take));
    *pos += take;
    return true;
}

}  // namespace

bool load_level(const char* file_name)
{
    std::FILE* file = std::fopen(file_name, "rb");
    if (!file) return false;
    int size = static_cast<int>(std::fread(file_bytes, 1, sizeof file_bytes, file));
    std::fclose(file);

    int pos = 0;
    uint8_t record[LEVEL_CELL_RECORD_SIZE] = {};
    int records = 0;
    while (records < LEVEL_GRID_RECORDS && next_record(size, &pos, record, LEVEL_CELL_RECORD_SIZE)) {
        int row = records / GRID_SIZE;
        int column = records % GRID_SIZE;
        cells[0][row][column] = static_cast<uint16_t>(record[LEVEL_CELL_LAYER0_HIGH] << 8 |
                                                      record[LEVEL_CELL_LAYER0_LOW]);
        cells[1][row][column] = static_cast<uint16_t>(record[LEVEL_CELL_LAYER1_HIGH] << 8 |
                                                      record[LEVEL_CELL_LAYER1_LOW]);
        cell_colors[row][column][0] = record[LEVEL_CELL_RED];
        cell_colors[row][column][1] = record[LEVEL_CELL_GREEN];
        cell_colors[row][column][2] = record[LEVEL_CELL_BLUE];
        records++;
    }
    if (records < LEVEL_GRID_RECORDS) return false;

    entity_count = 0;
    if (pos >= size) return true;  // a level without entities
    int count = file_bytes[pos++];
    // The table has 32 slots; a larger count would write past it, so such a file is refused.
    if (count > ENTITY_SLOTS) return false;
    entity_count = count;

    uint8_t raw[LEVEL_ENTITY_RECORD_SIZE] = {};  // a first record cut short takes zeros
    int read = 0;
    while (read < entity_count && next_record(size, &pos, raw, LEVEL_ENTITY_RECORD_SIZE)) {
        const int8_t* value = reinterpret_cast<const int8_t*>(raw);
        Entity& e = entities[read];
        e.type = value[LEVEL_ENTITY_TYPE];
        e.x = value[LEVEL_ENTITY_ROW] + 0.5;
        e.y = value[LEVEL_ENTITY_COLUMN] + 0.5;
        // z is never read from the file: the offset is added to what the slot holds, and
        // gravity brings a ball or the block back to rest. Wanderers feel no gravity, so
        // they take their fresh height at every load instead of climbing with each restart.
        if (e.type == ENTITY_BALL) {
            e.z = e.z + BALL_RADIUS;
        } else if (e.type == ENTITY_WANDERER) {
            e.z = BALL_RADIUS;
        } else if (e.type == ENTITY_BLOCK) {
            e.z = e.z + 0.5;
            block_index = read;
        }
        e.vx = value[LEVEL_ENTITY_VX] / 10.0;
        e.vy = value[LEVEL_ENTITY_VX + 1] / 10.0;
        e.vz = value[LEVEL_ENTITY_VX + 2] / 10.0;
        e.param1 = value[LEVEL_ENTITY_VX + 3] / 10.0;
        e.param2 = value[LEVEL_ENTITY_VX + 4] / 10.0;
        e.param3 = value[LEVEL_ENTITY_VX + 5] / 10.0;
        e.drive_fwd = 0;
        e.drive_side = 0;
        e.drive_up = 0;
        e.orient_a = 0;
        e.orient_b = 0;
        e.heading = 0;
        read++;
    }
    return read >= entity_count - 1;
}

bool on_grid(int row, int column)
{
    return row >= 0 && row < GRID_SIZE && column >= 0 && column < GRID_SIZE;
}

uint16_t cell_at(int layer, int row, int column)
{
    if (layer < 0 || layer >= GRID_LAYERS || !on_grid(row, column)) return 0;
    return cells[layer][row][column];
}
