#include "compiler/compiler.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "common/level/file_replace.h"
#include "common/level/level_file.h"
#include "common/level/level_text.h"

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

// A read error is not the end of a file: the compile fails naming the file.
bool read_failed(std::FILE* file, const char* name, std::FILE* out)
{
    if (!std::ferror(file)) return false;
    std::fprintf(out, "\bfailed.\nerror: could not read %s.\n", name);
    return true;
}

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
        if (std::ferror(files.layer1)) break;
        if (squares == grid_squares) {
            // A 4097th line: the grid is full and nothing is stored past it.
            std::fputs("\bfailed.\n", out);
            std::fputs(type_error, out);
            return false;
        }
        spinner_step(out);
        uint16_t word0 = cell_word_from_text(line);
        spinner_step(out);
        layer_words[0][squares] = word0;

        if (std::fscanf(files.layer2, "%8c\n", line) == EOF) {
            if (read_failed(files.layer2, "layer2.txt", out)) return false;
            std::fputs(type_error, out);
            return false;
        }
        spinner_step(out);
        uint16_t word1 = cell_word_from_text(line);
        spinner_step(out);

        if (std::fscanf(files.colors, "%d %d %d\n", &red, &green, &blue) == EOF) {
            if (read_failed(files.colors, "colors.txt", out)) return false;
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
    if (read_failed(files.layer1, "layer1.txt", out)) return false;
    if (squares != grid_squares) {
        std::fputs("\bfailed.\n", out);
        std::fputs(type_error, out);
        return false;
    }
    return true;
}

// Reads up to 32 entity items. A read that converts nothing but stops at a character
// that cannot start a number still counts; only the end of the file ends the table.
// False after printing the error when the file cannot be read.
bool read_entities(std::FILE* entity, std::FILE* out)
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
    return !read_failed(entity, "entity.txt", out);
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

// Author warnings on stderr, at most this many per file: one slip early in a layer file
// shifts every line after it.
constexpr int warnings_per_file = 10;

struct Warner {
    std::FILE* err;
    const char* name;
    int given;
};

void warn(Warner* w, long line, const std::string& what)
{
    if (w->given == warnings_per_file) {
        std::fprintf(w->err, "mazec: %s: further warnings not shown\n", w->name);
    } else if (w->given < warnings_per_file) {
        std::fprintf(w->err, "mazec: %s:%ld: warning: %s\n", w->name, line, what.c_str());
    }
    w->given++;
}

bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Warns of each layer line that is not exactly eight characters: a short line takes its
// line break and the next line's characters, a long one makes its rest the next cell.
// White space after the eighth character and blank lines between cell lines are skipped
// by the compile, so they are fine; a blank first line is not.
void warn_about_layer(std::FILE* file, Warner* w)
{
    long line = 1;
    int length = 0;
    bool blank = true, long_line = false;
    for (int c = std::getc(file);; c = std::getc(file)) {
        if (c != '\n' && c != EOF) {
            if (!is_space(c)) {
                blank = false;
                long_line = long_line || length >= CELL_TEXT_LENGTH;
            }
            length++;
            continue;
        }
        if (c == EOF && length == 0) break;
        if (length < CELL_TEXT_LENGTH && (!blank || line == 1)) {
            warn(w, line, "a line of " + std::to_string(length) +
                              " characters, not 8: the characters after it complete it");
        } else if (long_line) {
            warn(w, line, "a line of " + std::to_string(length) +
                              " characters, not 8: those after the eighth are read as the next line");
        }
        if (c == EOF) break;
        line++;
        length = 0;
        blank = true;
        long_line = false;
    }
}

bool reads_as_number(const std::string& token, bool integer)
{
    const char* text = token.c_str();
    char* end = nullptr;
    if (integer) {
        (void)std::strtol(text, &end, 10);
    } else {
        (void)std::strtof(text, &end);
    }
    return end != text && *end == '\0';
}

// Warns of each entity line with a field that does not read as a number (every later item
// is then read from that field on), and of lines beyond the 32 the table holds.
void warn_about_entities(std::FILE* file, Warner* w)
{
    long line = 1;
    int lines_with_fields = 0, fields = 0;
    bool line_warned = false;
    std::string token;
    for (int c = std::getc(file);; c = std::getc(file)) {
        if (c != EOF && !is_space(c)) {
            token += static_cast<char>(c);
            continue;
        }
        if (!token.empty()) {
            if (!line_warned && !reads_as_number(token, fields == 0)) {
                warn(w, line, "field " + std::to_string(fields + 1) + " \"" + token.substr(0, 32) +
                                  "\" does not read as a number: the entities from here on are not what this file says");
                line_warned = true;
            }
            if (fields++ == 0 && ++lines_with_fields == entity_slots + 1) {
                warn(w, line, "an entity line beyond the 32 the table holds: it and those after it are ignored");
            }
            token.clear();
        }
        if (c == EOF) break;
        if (c == '\n') {
            line++;
            fields = 0;
            line_warned = false;
        }
    }
}

}  // namespace

void warn_about_inputs(const CompileFiles& files, std::FILE* err)
{
    std::FILE* streams[3] = {files.layer1, files.layer2, files.entity};
    const char* names[3] = {"layer1.txt", "layer2.txt", "entity.txt"};
    for (int i = 0; i < 3; i++) {
        // Only a file that can be read twice and ends: the compile reads it again.
        struct stat status;
        int fd = fileno(streams[i]);
        if (fd >= 0 && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) continue;
        long start = std::ftell(streams[i]);
        if (start < 0) continue;
        Warner w = {err, names[i], 0};
        if (i < 2) {
            warn_about_layer(streams[i], &w);
        } else {
            warn_about_entities(streams[i], &w);
        }
        std::clearerr(streams[i]);
        std::fseek(streams[i], start, SEEK_SET);
    }
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
    if (!read_entities(files.entity, out)) return fail(files, true);
    std::fprintf(out, "\bdone. %d entities processed.\nwriting level.lvx ?", entities_read);

    if (!write_level(files.level, out)) {
        std::fputs(write_error, out);
        return fail(files, true);
    }
    if (files.level_temp_path) {
        // Only a complete file may replace the author's previous level.
        if (!finish_temp(files.level)) {
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
