// The level file: the one format that mazec writes and load_level reads.
// Shared by the game and the compiler; nothing else lives here.
#pragma once

#include <cstdint>

// Cell word bits. A face bit marks a solid face on that side of the cell.
constexpr uint16_t CELL_NORTH = 0x0001;  // +y side
constexpr uint16_t CELL_SOUTH = 0x0002;  // -y side
constexpr uint16_t CELL_EAST = 0x0004;   // +x side
constexpr uint16_t CELL_WEST = 0x0008;   // -x side
constexpr uint16_t CELL_TOP = 0x0010;
constexpr uint16_t CELL_BOTTOM = 0x0020;
constexpr uint16_t CELL_SOLID = 0x001F;  // the four sides and the top: a closed cube
constexpr uint16_t CELL_RAMP_MASK = 0x01C0;
constexpr uint16_t RAMP_NORTH = 0x0100;  // rises toward +y
constexpr uint16_t RAMP_SOUTH = 0x0140;  // rises toward -y
constexpr uint16_t RAMP_EAST = 0x0180;   // rises toward +x
constexpr uint16_t RAMP_WEST = 0x01C0;   // rises toward -x
constexpr uint16_t CELL_SHAPE_MASK = 0x07C0;  // ramp field plus the two unused bits 9 and 10
constexpr uint16_t CELL_HEIGHT_MASK = 0xF800;
constexpr int CELL_HEIGHT_SHIFT = 11;

// Grid part: one 7-byte record per square, row-major, 64 columns per row.
constexpr int LEVEL_GRID_SIZE = 64;
constexpr int LEVEL_GRID_RECORDS = LEVEL_GRID_SIZE * LEVEL_GRID_SIZE;  // 4096
constexpr int LEVEL_CELL_RECORD_SIZE = 7;
constexpr int LEVEL_GRID_BYTES = LEVEL_GRID_RECORDS * LEVEL_CELL_RECORD_SIZE;  // 28672
// Offsets within a grid record: two big-endian cell words, then red, green, blue.
constexpr int LEVEL_CELL_LAYER0_HIGH = 0;
constexpr int LEVEL_CELL_LAYER0_LOW = 1;
constexpr int LEVEL_CELL_LAYER1_HIGH = 2;
constexpr int LEVEL_CELL_LAYER1_LOW = 3;
constexpr int LEVEL_CELL_RED = 4;
constexpr int LEVEL_CELL_GREEN = 5;
constexpr int LEVEL_CELL_BLUE = 6;

// Count byte (unsigned) at offset LEVEL_GRID_BYTES, then 10-byte entity records of signed bytes.
constexpr int LEVEL_COUNT_OFFSET = LEVEL_GRID_BYTES;
constexpr int LEVEL_ENTITY_RECORD_SIZE = 10;
constexpr int LEVEL_ENTITY_TYPE = 0;
constexpr int LEVEL_ENTITY_ROW = 1;      // x = value + 0.5
constexpr int LEVEL_ENTITY_COLUMN = 2;   // y = value + 0.5
constexpr int LEVEL_ENTITY_HEIGHT = 3;   // written by the compiler, unused by the game
constexpr int LEVEL_ENTITY_VX = 4;       // value / 10, then vy, vz, param1, param2, param3
constexpr int LEVEL_ENTITY_SLOTS = 32;   // the game's entity table; a larger count is refused
