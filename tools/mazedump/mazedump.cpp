// mazedump: shows what the game loads from a level file, as a summary, as JSON, or as
// the four text files that mazec compiles back into the same level.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/level/file_replace.h"
#include "common/level/level_text.h"
#include "world/rules.h"
#include "world/world.h"
#include "maze_version.h"

namespace {

const char usage[] = "usage: mazedump [--json] [-o DIR] LEVEL.lvx\n";

// The longest file a level can be: the grid, the count byte and as many records as the
// count byte can say. Reading stops there, so endless input is refused, not read forever.
constexpr long largest_level_file = LEVEL_GRID_BYTES + 1 + 255L * LEVEL_ENTITY_RECORD_SIZE;
uint8_t file_bytes[largest_level_file + 1];
long file_size;

// Reads the file once (standard input may be named), false after the message on stderr.
bool read_raw(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "mazedump: cannot open %s: %s\n", path, std::strerror(errno));
        return false;
    }
    file_size = 0;
    size_t n;
    while (file_size < static_cast<long>(sizeof file_bytes) &&
           (n = std::fread(file_bytes + file_size, 1, sizeof file_bytes - static_cast<size_t>(file_size), file)) > 0) {
        file_size += static_cast<long>(n);
    }
    // A read error is not the end of the file.
    bool failed = std::ferror(file);
    int error = errno;
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "mazedump: cannot read %s: %s\n", path, std::strerror(error));
        return false;
    }
    if (file_size > largest_level_file) {
        std::fprintf(stderr, "mazedump: %s: too large: a level file holds at most %ld bytes\n", path,
                     largest_level_file);
        return false;
    }
    return true;
}

// Why load_level refused the file, for the message on stderr.
void explain_failure(const char* path)
{
    if (level_records.grid_records < LEVEL_GRID_RECORDS) {
        std::fprintf(stderr,
                     "mazedump: %s: not a level: %ld bytes, the grid alone needs %d\n", path,
                     file_size, LEVEL_GRID_BYTES);
    } else if (level_records.count > ENTITY_SLOTS) {
        std::fprintf(stderr,
                     "mazedump: %s: entity count %d is more than the %d slots of the entity table\n",
                     path, level_records.count, ENTITY_SLOTS);
    } else {
        std::fprintf(stderr,
                     "mazedump: %s: the entity count says %d but the file holds only %d records\n",
                     path, level_records.count, level_records.entity_records);
    }
}

bool is_goal(int row, int column) { return is_goal_color(cell_colors[row][column]); }

char map_char(uint16_t word)
{
    uint16_t ramp = word & CELL_RAMP_MASK;
    if ((word & 0x0600) || ramp == 0x0040 || ramp == 0x0080 || ramp == 0x00C0) return '?';
    switch (ramp) {
    case RAMP_NORTH: return 'N';
    case RAMP_SOUTH: return 'S';
    case RAMP_EAST: return 'E';
    case RAMP_WEST: return 'W';
    default: break;
    }
    if ((word & CELL_SOLID) == CELL_SOLID) return '#';
    if (word & 0x003F) return '+';
    return '.';
}

void print_summary(const char* path)
{
    std::printf("%s: loaded, %ld bytes\n", path, file_size);
    std::printf("entities: %d, bouncing block: ", entity_count);
    if (block_index >= 0) {
        std::printf("slot %d\n", block_index);
    } else {
        std::printf("none\n");
    }
    if (entity_count > 0) {
        std::printf("  slot type      x      y      z     vx     vy     vz param1 param2 param3\n");
    }
    for (int q = 0; q < entity_count; q++) {
        const Entity& e = entities[q];
        std::printf("  %4d %4d %6g %6g %6g %6g %6g %6g %6g %6g %6g\n", q, e.type, e.x, e.y, e.z,
                    e.vx, e.vy, e.vz, e.param1, e.param2, e.param3);
    }

    // Distinct colours: one bit per 24-bit value.
    static uint8_t seen[1 << 21];
    std::memset(seen, 0, sizeof seen);
    int distinct = 0, goals = 0;
    for (int r = 0; r < GRID_SIZE; r++) {
        for (int c = 0; c < GRID_SIZE; c++) {
            const uint8_t* rgb = cell_colors[r][c];
            uint32_t v = static_cast<uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
            if (!(seen[v >> 3] & (1u << (v & 7)))) {
                seen[v >> 3] = static_cast<uint8_t>(seen[v >> 3] | (1u << (v & 7)));
                distinct++;
            }
            if (is_goal(r, c)) goals++;
        }
    }
    std::printf("colours: %d distinct, %d goal square%s\n", distinct, goals, goals == 1 ? "" : "s");

    std::printf("map: one line per row (x), columns (y) left to right\n");
    std::printf("      %-64s  %s\n", "layer 0", "layer 1");
    for (int r = 0; r < GRID_SIZE; r++) {
        char line[2][GRID_SIZE + 1];
        for (int l = 0; l < 2; l++) {
            for (int c = 0; c < GRID_SIZE; c++) {
                char ch = map_char(cells[l][r][c]);
                if (l == 0 && ch == '.' && is_goal(r, c)) ch = 'G';
                line[l][c] = ch;
            }
            line[l][GRID_SIZE] = '\0';
        }
        std::printf("  %2d  %s  %s\n", r, line[0], line[1]);
    }
    std::printf("legend: . empty  # closed cube  N S E W ramp  + other faces  "
                "? field the game draws nothing for  G goal square\n");
}

void print_json(bool loaded)
{
    std::printf("{\"loaded\":%s,\"entity_count\":%d,\"block_index\":%d,\n\"entities\":[",
                loaded ? "true" : "false", entity_count, block_index);
    int shown = entity_count < 0 ? 0 : (entity_count > ENTITY_SLOTS ? ENTITY_SLOTS : entity_count);
    for (int q = 0; q < shown; q++) {
        const Entity& e = entities[q];
        std::printf("%s\n{\"type\":%d,\"x\":%.17g,\"y\":%.17g,\"z\":%.17g,\"vx\":%.17g,\"vy\":%.17g,"
                    "\"vz\":%.17g,\"param1\":%.17g,\"param2\":%.17g,\"param3\":%.17g,"
                    "\"orient_a\":%.17g,\"orient_b\":%.17g,\"heading\":%.17g,"
                    "\"drive_fwd\":%.17g,\"drive_side\":%.17g,\"drive_up\":%.17g}",
                    q ? "," : "", e.type, e.x, e.y, e.z, e.vx, e.vy, e.vz, e.param1, e.param2,
                    e.param3, e.orient_a, e.orient_b, e.heading, e.drive_fwd, e.drive_side,
                    e.drive_up);
    }
    std::printf("],\n\"cells\":[");
    for (int l = 0; l < GRID_LAYERS; l++) {
        std::printf("%s\n[", l ? "," : "");
        for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
            std::printf("%s%u", k ? "," : "", cells[l][k / GRID_SIZE][k % GRID_SIZE]);
        }
        std::printf("]");
    }
    std::printf("],\n\"colors\":[");
    for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
        const uint8_t* c = cell_colors[k / GRID_SIZE][k % GRID_SIZE];
        std::printf("%s[%u,%u,%u]", k ? "," : "", c[0], c[1], c[2]);
    }
    std::printf("]}\n");
}

// Counts the cell words that the text format cannot say, by kind, with the first place.
struct Loss {
    const char* what;
    int count;
    int layer, row, column;
    uint16_t word;
};

void note_loss(Loss* loss, int layer, int k, uint16_t word)
{
    if (loss->count++ == 0) {
        loss->layer = layer;
        loss->row = k / GRID_SIZE;
        loss->column = k % GRID_SIZE;
        loss->word = word;
    }
}

void layer_texts(std::string texts[GRID_LAYERS])
{
    Loss height = {"a height code above 9, written as 9", 0, 0, 0, 0, 0};
    Loss bits = {"bit 9, 10 or 15 set, not written", 0, 0, 0, 0, 0};
    Loss ramp = {"a ramp field of 0x40, 0x80 or 0xC0, written as no ramp", 0, 0, 0, 0, 0};
    for (int l = 0; l < GRID_LAYERS; l++) {
        for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
            uint16_t word = cells[l][k / GRID_SIZE][k % GRID_SIZE];
            char text[CELL_TEXT_LENGTH + 1];
            cell_text_from_word(word, text);
            texts[l] += text;
            texts[l] += '\n';
            if (((word & CELL_HEIGHT_MASK) >> CELL_HEIGHT_SHIFT) > 9) note_loss(&height, l, k, word);
            if (word & 0x8600) note_loss(&bits, l, k, word);
            uint16_t field = word & CELL_RAMP_MASK;
            if (field == 0x0040 || field == 0x0080 || field == 0x00C0) note_loss(&ramp, l, k, word);
        }
    }
    for (const Loss* loss : {&height, &bits, &ramp}) {
        if (loss->count == 0) continue;
        std::fprintf(stderr,
                     "mazedump: cannot express: %d cell word%s with %s (first: layer %d, row %d, "
                     "column %d, word 0x%04X)\n",
                     loss->count, loss->count == 1 ? "" : "s", loss->what, loss->layer, loss->row,
                     loss->column, loss->word);
    }
}

std::string colour_text()
{
    std::string text;
    for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
        const uint8_t* c = cell_colors[k / GRID_SIZE][k % GRID_SIZE];
        char line[16];
        std::snprintf(line, sizeof line, "%u %u %u\n", c[0], c[1], c[2]);
        text += line;
    }
    return text;
}

// One line per record the file holds, each byte as the signed value mazec keeps the low
// 8 bits of.
std::string entity_text()
{
    const LevelRecords& r = level_records;
    std::string text;
    for (int q = 0; q < r.entity_records; q++) {
        for (int i = 0; i < LEVEL_ENTITY_RECORD_SIZE; i++) {
            char value[8];
            std::snprintf(value, sizeof value, "%s%d", i ? " " : "", static_cast<int8_t>(r.entity[q][i]));
            text += value;
        }
        text += '\n';
    }

    if (file_size < LEVEL_GRID_BYTES) {
        std::fprintf(stderr, "mazedump: cannot express: the last grid record is cut short; "
                             "written complete, with the bytes the game takes for it\n");
    }
    if (r.count < 0) {
        std::fprintf(stderr, "mazedump: cannot express: the file has no entity count byte; "
                             "mazec writes one (0)\n");
    } else {
        if (r.cut_short_entity >= 0) {
            std::fprintf(stderr,
                         "mazedump: cannot express: entity record %d is cut short; written "
                         "complete, with the bytes the game takes for it\n",
                         r.cut_short_entity);
        }
        if (r.entity_records < r.count) {
            std::fprintf(stderr,
                         "mazedump: cannot express: the entity count says %d but the file holds "
                         "%d records; entity.txt has %d\n",
                         r.count, r.entity_records, r.entity_records);
        }
        if (file_size > r.used_bytes) {
            std::fprintf(stderr, "mazedump: cannot express: %ld bytes after the last entity record\n",
                         file_size - r.used_bytes);
        }
    }
    return text;
}

// The four files are written beside their targets and renamed into place only when all
// are complete: a failure leaves the author's files as they were.
bool write_texts(const std::string& dir)
{
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "mazedump: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
        return false;
    }
    std::string texts[4];
    layer_texts(texts);
    texts[2] = colour_text();
    texts[3] = entity_text();
    const std::string paths[4] = {dir + "/layer1.txt", dir + "/layer2.txt", dir + "/colors.txt",
                                  dir + "/entity.txt"};
    return replace_files("mazedump", paths, texts, 4);
}

}  // namespace

int main(int argc, char** argv)
{
    if (maze_print_version("mazedump", argc, argv)) return 0;
    bool json = false;
    const char* out_dir = nullptr;
    const char* path = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc && !out_dir) {
            out_dir = argv[++i];
        } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        } else if (argv[i][0] != '-' && !path) {
            path = argv[i];
        } else {
            std::fputs(usage, stderr);
            return 1;
        }
    }
    if (!path) {
        std::fputs(usage, stderr);
        return 1;
    }

    if (!read_raw(path)) return 1;
    bool loaded = load_level_bytes(file_bytes, file_size);
    if (json) print_json(loaded);
    if (!loaded) {
        explain_failure(path);
        return 1;
    }
    if (!json) print_summary(path);
    // What was printed but never reached its reader is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "mazedump: cannot write the standard output: %s\n", std::strerror(errno));
        return 1;
    }
    if (out_dir && !write_texts(out_dir)) return 1;
    return 0;
}
