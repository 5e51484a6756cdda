#include "compiler/compiler.h"

#include <cmath>
#include <cstring>

#include <unistd.h>

#include "world/level_file.h"

namespace {

// One entity.txt item as read: the type and nine reals, stored later as ten bytes.
struct EntityRecord {
    int type;
    float values[9];
};

constexpr int grid_squares = LEVEL_GRID_RECORDS;
constexpr int entity_slots = LEVEL_ENTITY_SLOTS;

// Working tables of one compile, cleared at its start.
uint16_t layer_words[2][grid_squares];
uint8_t square_colors[grid_squares][3];
EntityRecord entity_records[entity_slots];
int entities_read;
uint32_t spinner_counter;

const char type_error[] = "error: input files not of required type.\n";
const char write_error[] = "\bfailed.\nerror: could not write level.lvx.\n";

void spinner_step(std::FILE* out)
{
    static const char bars[4] = {'-', '/', '|', '\\'};
    uint32_t c = spinner_counter % 4;
    spinner_counter = c + 1;
    std::fputc('\b', out);
    std::fputc(bars[c], out);
    std::fflush(out);  // the spinner is only worth printing if it is seen turning
}

// The real truncated toward zero, kept to its low 8 bits. A float of magnitude 2^31 or
// more is a multiple of 256, so its low 8 bits are 0; infinities and NaN give 0 as well.
uint8_t real_to_byte(float value)
{
    if (!(std::fabs(value) < 2147483648.0f)) return 0;
    return static_cast<uint8_t>(static_cast<int64_t>(value) & 0xFF);
}

// Reads the grid files square by square. False after printing the error.
bool read_grid(const CompileFiles& files, std::FILE* out)
{
    // One line buffer for both layers: a last line cut short by the end of its file keeps
    // the remaining characters of the line read before it, as the C library leaves them.
    char line[8] = {};
    int red = 0, green = 0, blue = 0;  // numbers a colour read does not convert keep these
    int squares = 0;
    while (std::fscanf(files.layer1, "%8c\n", line) != EOF) {
        if (squares == grid_squares) {
            // A 4097th line: the grid is full and nothing is stored past it.
            std::fputs("\bfailed.\n", out);
            std::fputs(type_error, out);
            return false;
        }
        spinner_step(out);
        uint16_t word0 = encode_cell_line(line);
        spinner_step(out);
        layer_words[0][squares] = word0;

        if (std::fscanf(files.layer2, "%8c\n", line) == EOF) {
            std::fputs(type_error, out);
            return false;
        }
        spinner_step(out);
        uint16_t word1 = encode_cell_line(line);
        spinner_step(out);

        if (std::fscanf(files.colors, "%d %d %d\n", &red, &green, &blue) == EOF) {
            std::fputs(type_error, out);
            return false;
        }
        layer_words[1][squares] = word1;
        spinner_step(out);
        square_colors[squares][0] = static_cast<uint8_t>(red & 0xFF);
        square_colors[squares][1] = static_cast<uint8_t>(green & 0xFF);
        square_colors[squares][2] = static_cast<uint8_t>(blue & 0xFF);
        squares++;
    }
    if (squares != grid_squares) {
        std::fputs("\bfailed.\n", out);
        std::fputs(type_error, out);
        return false;
    }
    return true;
}

// Reads up to 32 entity items. A read that converts nothing but stops at a character
// that cannot start a number still counts; only the end of the file ends the table.
void read_entities(std::FILE* entity, std::FILE* out)
{
    while (entities_read < entity_slots) {
        EntityRecord& r = entity_records[entities_read];
        float* v = r.values;
        int got = std::fscanf(entity, "%d %f %f %f %f %f %f %f %f %f\n", &r.type, &v[0], &v[1],
                              &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]);
        if (got == EOF) break;
        entities_read++;
        spinner_step(out);
    }
}

// Writes the grid part, the count byte and the entity records. False at the first
// failed write.
bool write_level(std::FILE* level, std::FILE* out)
{
    for (int k = 0; k < grid_squares; k++) {
        uint8_t record[LEVEL_CELL_RECORD_SIZE];
        record[LEVEL_CELL_LAYER0_HIGH] = static_cast<uint8_t>(layer_words[0][k] >> 8);
        record[LEVEL_CELL_LAYER0_LOW] = static_cast<uint8_t>(layer_words[0][k] & 0xFF);
        record[LEVEL_CELL_LAYER1_HIGH] = static_cast<uint8_t>(layer_words[1][k] >> 8);
        record[LEVEL_CELL_LAYER1_LOW] = static_cast<uint8_t>(layer_words[1][k] & 0xFF);
        record[LEVEL_CELL_RED] = square_colors[k][0];
        record[LEVEL_CELL_GREEN] = square_colors[k][1];
        record[LEVEL_CELL_BLUE] = square_colors[k][2];
        if (std::fwrite(record, 1, sizeof record, level) != sizeof record) return false;
        spinner_step(out);
    }
    if (std::fputc(entities_read, level) == EOF) return false;
    for (int q = 0; q < entities_read; q++) {
        uint8_t record[LEVEL_ENTITY_RECORD_SIZE];
        record[LEVEL_ENTITY_TYPE] = static_cast<uint8_t>(entity_records[q].type & 0xFF);
        for (int i = 0; i < 9; i++) record[1 + i] = real_to_byte(entity_records[q].values[i]);
        if (std::fwrite(record, 1, sizeof record, level) != sizeof record) return false;
        spinner_step(out);
    }
    // Buffered bytes meet a full disk only here.
    return std::fflush(level) == 0 && !std::ferror(level);
}

// Pushes the written file to the disk before it replaces the previous level, so that a
// crash right after the rename cannot leave an empty level.lvx behind.
bool sync_to_disk(std::FILE* level)
{
    int fd = fileno(level);
    return fd < 0 || fsync(fd) == 0;
}

void close_inputs(const CompileFiles& files)
{
    std::fclose(files.layer1);
    std::fclose(files.layer2);
    std::fclose(files.entity);
    std::fclose(files.colors);
}

// Leaves everything as it was before the compile: the temporary file goes, level.lvx
// is never touched.
int fail(const CompileFiles& files, bool level_open)
{
    if (level_open) std::fclose(files.level);
    close_inputs(files);
    if (files.level_temp_path) std::remove(files.level_temp_path);
    return 1;
}

}  // namespace

uint16_t encode_cell_line(const char line[8])
{
    uint16_t word = 0;
    for (int i = 0; i < 6; i++) {
        if (line[i] == '1') word |= static_cast<uint16_t>(1u << i);
    }
    switch (line[6]) {
    case 'N': word |= RAMP_NORTH; break;
    case 'S': word |= RAMP_SOUTH; break;
    case 'E': word |= RAMP_EAST; break;
    case 'W': word |= RAMP_WEST; break;
    default: break;  // "F" and anything else: no ramp
    }
    if (line[7] >= '1' && line[7] <= '9') {
        word |= static_cast<uint16_t>((line[7] - '0') << CELL_HEIGHT_SHIFT);
    }
    return word;
}

int compile_level(const CompileFiles& files, std::FILE* out)
{
    std::memset(layer_words, 0, sizeof layer_words);
    std::memset(square_colors, 0, sizeof square_colors);
    std::memset(entity_records, 0, sizeof entity_records);
    entities_read = 0;
    spinner_counter = 0;

    std::fputs("compiling levels ?", out);
    if (!read_grid(files, out)) return fail(files, true);
    std::fputs("\bdone.\ncompiling entities ?", out);
    read_entities(files.entity, out);
    std::fprintf(out, "\bdone. %d entities processed.\nwriting level.lvx ?", entities_read);

    if (!write_level(files.level, out)) {
        std::fputs(write_error, out);
        return fail(files, true);
    }
    if (files.level_temp_path) {
        // Only a complete file may replace the author's previous level.
        bool synced = sync_to_disk(files.level);
        if (std::fclose(files.level) != 0 || !synced) {
            std::fputs(write_error, out);
            return fail(files, false);
        }
        if (std::rename(files.level_temp_path, files.level_path) != 0) {
            std::fputs(write_error, out);
            return fail(files, false);
        }
    } else if (std::fclose(files.level) != 0) {
        std::fputs(write_error, out);
        return fail(files, false);
    }
    close_inputs(files);
    std::fputs("\bdone.\n", out);
    return 0;
}
