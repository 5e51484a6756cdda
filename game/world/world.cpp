#include "world/world.h"

#include "world/rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

uint16_t cells[GRID_LAYERS][GRID_SIZE][GRID_SIZE];
uint8_t cell_colors[GRID_SIZE][GRID_SIZE][3];
Entity entities[ENTITY_SLOTS];
int32_t entity_count;
int32_t player_index = 0;
int32_t block_index = -1;

LevelRecords level_records;

namespace {

uint8_t file_bytes[LEVEL_MAX_READ_BYTES];
char load_failure[1200];

struct FileIdentity {
    dev_t device;
    ino_t inode;
};
FileIdentity forbidden_files[4];
int forbidden_count;

bool refuse_load(const char* file_name, const char* why)
{
    std::snprintf(load_failure, sizeof load_failure, "%s: %s", file_name, why);
    return false;
}

// Reads up to the buffer's size; false on a read error.
bool read_level_bytes(int fd, long* size)
{
    size_t got = 0;
    while (got < sizeof file_bytes) {
        ssize_t n = ::read(fd, file_bytes + got, sizeof file_bytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    *size = static_cast<long>(got);
    return true;
}

// The bouncing block starts this much above what its slot held, and falls back to rest.
constexpr double block_load_lift = 0.5;

// Copies the next record into `record`; a record cut short by the end of the file keeps
// the bytes it lacks from what `record` held before. False when no byte is left.
bool next_record(const uint8_t* bytes, long size, long* pos, uint8_t* record, int record_size)
{
    if (*pos >= size) return false;
    long available = size - *pos;
    long take = available < record_size ? available : record_size;
    std::memcpy(record, bytes + *pos, static_cast<size_t>(take));
    *pos += take;
    return true;
}

}  // namespace

void split_level_records(const uint8_t* bytes, long size)
{
    LevelRecords& r = level_records;
    r.grid_records = 0;
    r.count = -1;
    r.entity_records = 0;
    r.cut_short_entity = -1;
    long pos = 0;
    uint8_t cell[LEVEL_CELL_RECORD_SIZE] = {};
    while (r.grid_records < LEVEL_GRID_RECORDS && next_record(bytes, size, &pos, cell, LEVEL_CELL_RECORD_SIZE)) {
        std::memcpy(r.grid[r.grid_records++], cell, sizeof cell);
    }
    if (r.grid_records == LEVEL_GRID_RECORDS && pos < size) {
        r.count = bytes[pos++];
        uint8_t raw[LEVEL_ENTITY_RECORD_SIZE] = {};  // a first record cut short takes zeros
        while (r.entity_records < r.count && r.entity_records < ENTITY_SLOTS) {
            long before = pos;
            if (!next_record(bytes, size, &pos, raw, LEVEL_ENTITY_RECORD_SIZE)) break;
            if (pos - before < LEVEL_ENTITY_RECORD_SIZE) r.cut_short_entity = r.entity_records;
            std::memcpy(r.entity[r.entity_records++], raw, sizeof raw);
        }
    }
    r.used_bytes = pos;
}

bool load_level(const char* file_name)
{
    load_failure[0] = '\0';
    // Without blocking: opening a FIFO would otherwise wait for a writer forever.
    int fd = ::open(file_name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuse_load(file_name, std::strerror(errno));
    struct stat info;
    bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    bool forbidden = false;
    for (int i = 0; regular && i < forbidden_count; i++)
        forbidden = forbidden || (forbidden_files[i].device == info.st_dev && forbidden_files[i].inode == info.st_ino);
    long size = 0;
    bool read_ok = regular && !forbidden && read_level_bytes(fd, &size);
    int read_error = errno;
    ::close(fd);
    if (!regular) return refuse_load(file_name, "not a regular file");
    if (forbidden) return refuse_load(file_name, "a file this run writes, not a level");
    if (!read_ok) return refuse_load(file_name, std::strerror(read_error));
    if (!load_level_bytes(file_bytes, size)) return refuse_load(file_name, "not a level file (too short, or too many entities)");
    return true;
}

const char* level_load_failure() { return load_failure; }

void forbid_level_file(int fd)
{
    struct stat info;
    if (forbidden_count >= 4 || fd < 0 || ::fstat(fd, &info) != 0) return;
    forbidden_files[forbidden_count++] = {info.st_dev, info.st_ino};
}

bool load_level_bytes(const uint8_t* bytes, long size)
{
    split_level_records(bytes, size);
    const LevelRecords& r = level_records;
    for (int k = 0; k < r.grid_records; k++) {
        const uint8_t* record = r.grid[k];
        int row = k / GRID_SIZE;
        int column = k % GRID_SIZE;
        cells[0][row][column] = static_cast<uint16_t>(record[LEVEL_CELL_LAYER0_HIGH] << 8 |
                                                      record[LEVEL_CELL_LAYER0_LOW]);
        cells[1][row][column] = static_cast<uint16_t>(record[LEVEL_CELL_LAYER1_HIGH] << 8 |
                                                      record[LEVEL_CELL_LAYER1_LOW]);
        cell_colors[row][column][0] = record[LEVEL_CELL_RED];
        cell_colors[row][column][1] = record[LEVEL_CELL_GREEN];
        cell_colors[row][column][2] = record[LEVEL_CELL_BLUE];
    }
    if (r.grid_records < LEVEL_GRID_RECORDS) return false;

    entity_count = 0;
    if (r.count < 0) return true;  // a level without entities
    // The table has 32 slots; a larger count would write past it, so such a file is refused.
    if (r.count > ENTITY_SLOTS) return false;
    entity_count = r.count;

    for (int read = 0; read < r.entity_records; read++) {
        const int8_t* value = reinterpret_cast<const int8_t*>(r.entity[read]);
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
            e.z = e.z + block_load_lift;
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
    }
    return r.entity_records >= entity_count - 1;
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
