// The world of one level: the two layers of cell words, the square colours and the
// entity table, all fixed global tables that live for the whole run.
#pragma once

#include <cstdint>

#include "common/level/level_file.h"

constexpr int GRID_SIZE = LEVEL_GRID_SIZE;  // 64 rows, 64 columns
constexpr int GRID_LAYERS = 2;
constexpr int ENTITY_SLOTS = LEVEL_ENTITY_SLOTS;  // 32

// Entity types with rules of their own; other values are loaded and moved only.
constexpr int32_t ENTITY_BALL = 0;
constexpr int32_t ENTITY_WANDERER = 1;
constexpr int32_t ENTITY_BLOCK = 2;

struct Entity {
    int32_t type;
    double x, y, z;        // centre, cell units
    double vx, vy, vz;     // cell units per 100 ms
    double param1, param2, param3;  // loaded, never read
    double orient_a, orient_b;      // cleared, never read
    double heading;        // radians; turns the drive into world axes
    double drive_fwd, drive_side, drive_up;
};

extern uint16_t cells[GRID_LAYERS][GRID_SIZE][GRID_SIZE];  // [layer][row][column]
extern uint8_t cell_colors[GRID_SIZE][GRID_SIZE][3];        // [row][column] red, green, blue
extern Entity entities[ENTITY_SLOTS];
extern int32_t entity_count;
extern int32_t player_index;  // always 0: the first record of a level file is the ball
extern int32_t block_index;   // slot of the last bouncing block loaded, -1 before any

// How the bytes of a level file split into records, as the loader takes them. A record
// cut short by the end of the file keeps the bytes it lacks from the record before it
// (zeros for the first entity record).
struct LevelRecords {
    int grid_records;        // records present, up to 4096; the last may be cut short
    int count;               // the entity count byte, -1 when the file ends after the grid
    int entity_records;      // records present, up to the count and the 32 slots
    int cut_short_entity;    // the entity record cut short by the end of the file, or -1
    long used_bytes;         // bytes these records take; the rest of the file is ignored
    uint8_t grid[LEVEL_GRID_RECORDS][LEVEL_CELL_RECORD_SIZE];
    uint8_t entity[ENTITY_SLOTS][LEVEL_ENTITY_RECORD_SIZE];
};
extern LevelRecords level_records;  // of the last split

// The most of a file the loader reads: the grid, the count byte and a full table.
constexpr int LEVEL_MAX_READ_BYTES = LEVEL_GRID_BYTES + 1 + ENTITY_SLOTS * LEVEL_ENTITY_RECORD_SIZE;

// Splits `size` bytes of a level file into level_records.
void split_level_records(const uint8_t* bytes, long size);

// Reads the named level file into the tables; false when it cannot be opened, is not a
// regular file (a FIFO is never waited on), is a file the run writes, is too short, or
// when its entity count exceeds the table.
bool load_level(const char* file_name);
// Why the last load_level failed, naming the file ("" after a success).
const char* level_load_failure();
// The file open as `fd` (a trace, a recording) is never read as a level, whatever path
// names it. Up to four such files.
void forbid_level_file(int fd);

// The same for the file's bytes already in memory.
bool load_level_bytes(const uint8_t* bytes, long size);

// The cell word at (layer, row, column), or 0 (an empty cell) for any index outside
// the 2 x 64 x 64 grid. Positions from physics and from level data can be anywhere.
uint16_t cell_at(int layer, int row, int column);

// True when (row, column) names a square of the grid.
bool on_grid(int row, int column);
