// mazedump: shows what the game loads from a level file, as a summary, as JSON, or as
// the four text files that mazec compiles back into the same level.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "world/world.h"

namespace {

const char usage[] = "usage: mazedump [--json] [-o DIR] LEVEL.lvx\n";

// The raw file as far as the loader can read it, and how long it really is.
constexpr int max_level_bytes = LEVEL_GRID_BYTES + 1 + ENTITY_SLOTS * LEVEL_ENTITY_RECORD_SIZE;
constexpr int min_level_bytes = LEVEL_GRID_BYTES - LEVEL_CELL_RECORD_SIZE + 1;  // last record 1 byte
uint8_t file_bytes[max_level_bytes];
long file_size;

// The entity records as the loader takes them from the raw bytes, with the height byte
// that Entity does not keep. A record cut short by the end of the file takes its missing
// bytes from the record before it, or zeros for the first.
uint8_t entity_bytes[ENTITY_SLOTS][LEVEL_ENTITY_RECORD_SIZE];
int count_byte = -1;  // -1: the file ends right after the grid
int records_present;
int cut_short_record = -1;

bool read_raw(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    file_size = static_cast<long>(std::fread(file_bytes, 1, sizeof file_bytes, file));
    char rest[4096];
    size_t n;
    while ((n = std::fread(rest, 1, sizeof rest, file)) > 0) file_size += static_cast<long>(n);
    std::fclose(file);
    return true;
}

// Splits the entity part the way load_level does.
void parse_entities()
{
    long pos = LEVEL_COUNT_OFFSET;
    if (file_size <= pos) return;
    count_byte = file_bytes[pos++];
    uint8_t record[LEVEL_ENTITY_RECORD_SIZE] = {};
    while (records_present < count_byte && records_present < ENTITY_SLOTS && pos < file_size) {
        long take = file_size - pos < LEVEL_ENTITY_RECORD_SIZE ? file_size - pos
                                                                : LEVEL_ENTITY_RECORD_SIZE;
        std::memcpy(record, file_bytes + pos, static_cast<size_t>(take));
        if (take < LEVEL_ENTITY_RECORD_SIZE) cut_short_record = records_present;
        pos += take;
        std::memcpy(entity_bytes[records_present++], record, sizeof record);
    }
}

// Why load_level refused the file, for the message on stderr.
void explain_failure(const char* path)
{
    if (file_size < min_level_bytes) {
        std::fprintf(stderr,
                     "mazedump: %s: not a level: %ld bytes, the grid alone needs %d\n", path,
                     file_size, LEVEL_GRID_BYTES);
    } else if (count_byte > ENTITY_SLOTS) {
        std::fprintf(stderr,
                     "mazedump: %s: entity count %d is more than the %d slots of the entity table\n",
                     path, count_byte, ENTITY_SLOTS);
    } else {
        std::fprintf(stderr,
                     "mazedump: %s: the entity count says %d but the file holds only %d records\n",
                     path, count_byte, records_present);
    }
}

bool is_goal(int row, int column)
{
    const uint8_t* c = cell_colors[row][column];
    return c[0] == 0 && c[1] == 0 && c[2] == 255;
}

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

// The eight characters that mazec encodes back to `word` as far as they can say it:
// height codes above 9 are written as 9, the unused ramp values and bits 9, 10 as nothing.
void cell_text(uint16_t word, char text[9])
{
    for (int i = 0; i < 6; i++) text[i] = (word & (1u << i)) ? '1' : '0';
    switch (word & CELL_RAMP_MASK) {
    case RAMP_NORTH: text[6] = 'N'; break;
    case RAMP_SOUTH: text[6] = 'S'; break;
    case RAMP_EAST: text[6] = 'E'; break;
    case RAMP_WEST: text[6] = 'W'; break;
    default: text[6] = 'F'; break;
    }
    int height = (word & CELL_HEIGHT_MASK) >> CELL_HEIGHT_SHIFT;
    text[7] = static_cast<char>('0' + (height > 9 ? 9 : height));
    text[8] = '\0';
}

std::FILE* open_text(const std::string& dir, const char* name)
{
    std::string path = dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) std::fprintf(stderr, "mazedump: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return f;
}

bool close_text(std::FILE* f, const std::string& dir, const char* name)
{
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "mazedump: could not write %s/%s\n", dir.c_str(), name);
    return ok;
}

bool write_layers(const std::string& dir)
{
    Loss height = {"a height code above 9, written as 9", 0, 0, 0, 0, 0};
    Loss bits = {"bit 9, 10 or 15 set, not written", 0, 0, 0, 0, 0};
    Loss ramp = {"a ramp field of 0x40, 0x80 or 0xC0, written as no ramp", 0, 0, 0, 0, 0};
    const char* names[2] = {"layer1.txt", "layer2.txt"};
    for (int l = 0; l < GRID_LAYERS; l++) {
        std::FILE* f = open_text(dir, names[l]);
        if (!f) return false;
        for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
            uint16_t word = cells[l][k / GRID_SIZE][k % GRID_SIZE];
            char text[9];
            cell_text(word, text);
            std::fprintf(f, "%s\n", text);
            if (((word & CELL_HEIGHT_MASK) >> CELL_HEIGHT_SHIFT) > 9) note_loss(&height, l, k, word);
            if (word & 0x8600) note_loss(&bits, l, k, word);
            uint16_t field = word & CELL_RAMP_MASK;
            if (field == 0x0040 || field == 0x0080 || field == 0x00C0) note_loss(&ramp, l, k, word);
        }
        if (!close_text(f, dir, names[l])) return false;
    }
    for (const Loss* loss : {&height, &bits, &ramp}) {
        if (loss->count == 0) continue;
        std::fprintf(stderr,
                     "mazedump: cannot express: %d cell word%s with %s (first: layer %d, row %d, "
                     "column %d, word 0x%04X)\n",
                     loss->count, loss->count == 1 ? "" : "s", loss->what, loss->layer, loss->row,
                     loss->column, loss->word);
    }
    return true;
}

bool write_colors(const std::string& dir)
{
    std::FILE* f = open_text(dir, "colors.txt");
    if (!f) return false;
    for (int k = 0; k < LEVEL_GRID_RECORDS; k++) {
        const uint8_t* c = cell_colors[k / GRID_SIZE][k % GRID_SIZE];
        std::fprintf(f, "%u %u %u\n", c[0], c[1], c[2]);
    }
    return close_text(f, dir, "colors.txt");
}

// One line per record the file holds, each byte as the signed value mazec keeps the low
// 8 bits of.
bool write_entities(const std::string& dir)
{
    std::FILE* f = open_text(dir, "entity.txt");
    if (!f) return false;
    for (int q = 0; q < records_present; q++) {
        for (int i = 0; i < LEVEL_ENTITY_RECORD_SIZE; i++) {
            std::fprintf(f, "%s%d", i ? " " : "", static_cast<int8_t>(entity_bytes[q][i]));
        }
        std::fprintf(f, "\n");
    }
    if (!close_text(f, dir, "entity.txt")) return false;

    if (file_size < LEVEL_GRID_BYTES) {
        std::fprintf(stderr, "mazedump: cannot express: the last grid record is cut short; "
                             "written complete, with the bytes the game takes for it\n");
    }
    if (count_byte < 0) {
        std::fprintf(stderr, "mazedump: cannot express: the file has no entity count byte; "
                             "mazec writes one (0)\n");
    } else {
        if (cut_short_record >= 0) {
            std::fprintf(stderr,
                         "mazedump: cannot express: entity record %d is cut short; written "
                         "complete, with the bytes the game takes for it\n",
                         cut_short_record);
        }
        if (records_present < count_byte) {
            std::fprintf(stderr,
                         "mazedump: cannot express: the entity count says %d but the file holds "
                         "%d records; entity.txt has %d\n",
                         count_byte, records_present, records_present);
        }
        long used = LEVEL_COUNT_OFFSET + 1 + static_cast<long>(records_present) * LEVEL_ENTITY_RECORD_SIZE;
        if (file_size > used) {
            std::fprintf(stderr, "mazedump: cannot express: %ld bytes after the last entity record\n",
                         file_size - used);
        }
    }
    return true;
}

bool write_texts(const std::string& dir)
{
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "mazedump: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
        return false;
    }
    return write_layers(dir) && write_colors(dir) && write_entities(dir);
}

}  // namespace

int main(int argc, char** argv)
{
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

    if (!read_raw(path)) {
        std::fprintf(stderr, "mazedump: cannot open %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    parse_entities();
    bool loaded = load_level(path);
    if (json) print_json(loaded);
    if (!loaded) {
        explain_failure(path);
        return 1;
    }
    if (!json) print_summary(path);
    if (out_dir && !write_texts(out_dir)) return 1;
    return 0;
}
