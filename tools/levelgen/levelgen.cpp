// levelgen: turns a level map (ASCII maps of colours and the two layers, plus entity lines)
// into the four text files that mazec compiles. Face bits and height codes are derived from
// the shapes, so every wall is solid on each side a ball can reach.
//
//   levelgen MAP OUTDIR
//
// The map format is described in docs/levels.md.
#include "tools/levelgen/levelgen.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/level/file_replace.h"
#include "common/level/level_file.h"
#include "common/level/level_text.h"

namespace {

constexpr int grid = LEVEL_GRID_SIZE;

enum Shape : char {
    shape_empty = '.',
    shape_cube = '#',
    shape_ramp_north = 'N',
    shape_ramp_south = 'S',
    shape_ramp_east = 'E',
    shape_ramp_west = 'W',
};

struct Colour {
    int red, green, blue;
};

struct EntityLine {
    int type;
    int row, column;
    double vx, vy;
};

// A line of the colour map, placed with the origin in force when it was read.
struct ColourRow {
    int row, column;
    std::string keys;
};

char shapes[2][grid][grid];
Colour colours[grid][grid];
Colour colour_keys[256];
Colour floor_colours[2];
bool floor_defined;
bool colour_key_defined[256];
std::vector<EntityLine> entity_lines;

const char* map_path;
int line_number;

// The most a map can hold with room to spare: three 64 x 64 sections, 32 entity lines
// and comments. Reading stops there, so endless input is refused, not read forever.
constexpr long largest_map = 1L << 20;

bool fail(const char* what)
{
    std::fprintf(levelgen_errors, "levelgen: %s:%d: %s\n", map_path, line_number, what);
    return false;
}

bool is_shape(char c)
{
    return c == shape_empty || c == shape_cube || c == shape_ramp_north || c == shape_ramp_south ||
           c == shape_ramp_east || c == shape_ramp_west;
}

bool is_ramp(char c) { return c != shape_empty && c != shape_cube && is_shape(c); }

char shape_at(int layer, int row, int column)
{
    if (layer < 0 || layer > 1 || row < 0 || row >= grid || column < 0 || column >= grid)
        return shape_empty;
    return shapes[layer][row][column];
}

// Offsets to the side a ramp rises toward (its high edge).
void high_side(char ramp, int* drow, int* dcolumn)
{
    *drow = 0;
    *dcolumn = 0;
    if (ramp == shape_ramp_north) *dcolumn = 1;
    if (ramp == shape_ramp_south) *dcolumn = -1;
    if (ramp == shape_ramp_east) *drow = 1;
    if (ramp == shape_ramp_west) *drow = -1;
}

// True when the neighbour at (row + drow, column + dcolumn) covers the face of this cell
// on that side, so the face can never be touched or seen.
bool side_covered(int layer, int row, int column, int drow, int dcolumn)
{
    char self = shape_at(layer, row, column);
    char other = shape_at(layer, row + drow, column + dcolumn);
    if (other == shape_cube) return true;
    if (is_ramp(other)) {
        // A ramp whose high edge leans on this side meets it along its whole height.
        int hr, hc;
        high_side(other, &hr, &hc);
        if (hr == -drow && hc == -dcolumn && self == shape_cube) return true;
        // Two ramps side by side rising the same way form one wide slope.
        if (other == self && (hr != 0 ? dcolumn != 0 : drow != 0)) return true;
    }
    return false;
}

uint16_t cell_word(int layer, int row, int column)
{
    char shape = shapes[layer][row][column];
    if (shape == shape_empty) return 0;
    struct Side {
        int drow, dcolumn;
        uint16_t bit;
    };
    const Side sides[] = {
        {0, 1, CELL_NORTH}, {0, -1, CELL_SOUTH}, {1, 0, CELL_EAST}, {-1, 0, CELL_WEST}};
    uint16_t word = CELL_TOP;  // a cube's top, or a ramp's slope
    for (const Side& side : sides) {
        if (!side_covered(layer, row, column, side.drow, side.dcolumn)) word |= side.bit;
    }
    if (shape == shape_cube && layer == 1 && shape_at(0, row, column) != shape_cube)
        word |= CELL_BOTTOM;  // a bridge: its underside can be seen
    if (shape == shape_ramp_north) word |= RAMP_NORTH;
    if (shape == shape_ramp_south) word |= RAMP_SOUTH;
    if (shape == shape_ramp_east) word |= RAMP_EAST;
    if (shape == shape_ramp_west) word |= RAMP_WEST;
    // Top of a layer-0 block at 1.0 (code 2), of a layer-1 block at 2.0 (code 4).
    word |= static_cast<uint16_t>((2 + 2 * layer) << CELL_HEIGHT_SHIFT);
    return word;
}

bool parse_int(const char* text, int low, int high, int* out)
{
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool parse_real(const char* text, double* out)
{
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text, &end);
    // NaN passes every range check by comparing false, and infinities mean nothing here.
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(value)) return false;
    *out = value;
    return true;
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) i++;
        size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) i++;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Splits the text into lines and reads them. False after the message on levelgen_errors.
bool read_map(const char* text, size_t size)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < size;) {
        const char* end = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
        size_t stop = end ? static_cast<size_t>(end - text) : size;
        std::string line(text + start, stop - start);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = stop + 1;
    }

    std::memset(shapes, shape_empty, sizeof shapes);
    std::memset(colour_key_defined, 0, sizeof colour_key_defined);
    floor_defined = false;
    entity_lines.clear();
    line_number = 0;
    int origin_row = 0, origin_column = 0;
    Colour fill = {40, 40, 48};
    std::vector<ColourRow> colour_rows;
    int section = -1;  // -1 none, 0 and 1 the layers, 2 colours
    int section_row = 0;
    bool seen[3] = {};

    for (size_t i = 0; i < lines.size(); i++) {
        line_number = static_cast<int>(i) + 1;
        const std::string& line = lines[i];
        if (section >= 0) {
            if (line == "end") {
                section = -1;
                continue;
            }
            int row = origin_row + section_row;
            if (row < 0 || row >= grid) return fail("map row outside the 64 x 64 grid");
            if (origin_column + static_cast<int>(line.size()) > grid)
                return fail("map line runs past column 63");
            if (section == 2) {
                colour_rows.push_back({row, origin_column, line});
            } else {
                for (size_t j = 0; j < line.size(); j++) {
                    char c = line[j] == ' ' ? static_cast<char>(shape_empty) : line[j];
                    if (!is_shape(c)) return fail("unknown shape (use . # N S E W)");
                    shapes[section][row][origin_column + static_cast<int>(j)] = c;
                }
            }
            section_row++;
            continue;
        }
        std::vector<std::string> words = split(line);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string& key = words[0];
        if (key == "origin") {
            if (words.size() != 3 || !parse_int(words[1].c_str(), 0, grid - 1, &origin_row) ||
                !parse_int(words[2].c_str(), 0, grid - 1, &origin_column))
                return fail("origin ROW COLUMN, each 0..63");
        } else if (key == "floor") {
            // Two colours in a checkerboard for the squares marked '.' in the colour map.
            Colour* c = floor_colours;
            if (words.size() != 7 || !parse_int(words[1].c_str(), 0, 255, &c[0].red) ||
                !parse_int(words[2].c_str(), 0, 255, &c[0].green) ||
                !parse_int(words[3].c_str(), 0, 255, &c[0].blue) ||
                !parse_int(words[4].c_str(), 0, 255, &c[1].red) ||
                !parse_int(words[5].c_str(), 0, 255, &c[1].green) ||
                !parse_int(words[6].c_str(), 0, 255, &c[1].blue))
                return fail("floor R1 G1 B1 R2 G2 B2, each 0..255");
            floor_defined = true;
        } else if (key == "fill" || key == "color") {
            size_t first = key == "color" ? 2 : 1;
            Colour c;
            if (words.size() != first + 3 || !parse_int(words[first].c_str(), 0, 255, &c.red) ||
                !parse_int(words[first + 1].c_str(), 0, 255, &c.green) ||
                !parse_int(words[first + 2].c_str(), 0, 255, &c.blue))
                return fail(key == "color" ? "color KEY RED GREEN BLUE, each 0..255"
                                           : "fill RED GREEN BLUE, each 0..255");
            if (key == "fill") {
                fill = c;
            } else {
                if (words[1].size() != 1) return fail("a colour key is one character");
                unsigned char k = static_cast<unsigned char>(words[1][0]);
                colour_keys[k] = c;
                colour_key_defined[k] = true;
            }
        } else if (key == "layer0" || key == "layer1" || key == "colors") {
            section = key == "layer0" ? 0 : key == "layer1" ? 1 : 2;
            if (seen[section]) return fail("section given twice");
            seen[section] = true;
            section_row = 0;
            if (section == 2) colour_rows.clear();
        } else if (key == "ball" || key == "wanderer" || key == "block") {
            EntityLine e = {key == "ball" ? 0 : key == "wanderer" ? 1 : 2, 0, 0, 0, 0};
            bool moving = key == "wanderer" && words.size() == 5;
            if ((words.size() != 3 && !moving) || !parse_int(words[1].c_str(), 0, grid - 1, &e.row) ||
                !parse_int(words[2].c_str(), 0, grid - 1, &e.column))
                return fail("ball|wanderer|block ROW COLUMN (wanderer: optional VX VY)");
            if (moving && (!parse_real(words[3].c_str(), &e.vx) || !parse_real(words[4].c_str(), &e.vy) ||
                           e.vx < -12.7 || e.vx > 12.7 || e.vy < -12.7 || e.vy > 12.7))
                return fail("wanderer velocities are -12.7 .. 12.7 cells per 100 ms");
            if (entity_lines.empty() && e.type != 0) return fail("the first entity must be the ball");
            if (entity_lines.size() == LEVEL_ENTITY_SLOTS) return fail("more than 32 entities");
            entity_lines.push_back(e);
        } else {
            return fail("unknown line (origin, fill, floor, color, colors, layer0, layer1, ball, wanderer, block)");
        }
    }
    if (section >= 0) return fail("section not closed with end");
    if (entity_lines.empty()) return fail("no ball: the first entity must be the ball");

    for (int r = 0; r < grid; r++)
        for (int c = 0; c < grid; c++) colours[r][c] = fill;
    for (const ColourRow& colour_row : colour_rows) {
        int row = colour_row.row;
        for (size_t j = 0; j < colour_row.keys.size(); j++) {
            unsigned char k = static_cast<unsigned char>(colour_row.keys[j]);
            if (k == ' ') continue;
            int column = colour_row.column + static_cast<int>(j);
            if (k == '.' && !colour_key_defined[k]) {
                if (!floor_defined) {
                    std::fprintf(levelgen_errors, "levelgen: %s: '.' in the colour map needs a floor line\n", map_path);
                    return false;
                }
                colours[row][column] = floor_colours[(row + column) & 1];
                continue;
            }
            if (!colour_key_defined[k]) {
                line_number = 0;
                std::fprintf(levelgen_errors, "levelgen: %s: colour key '%c' is not defined\n", map_path, k);
                return false;
            }
            colours[row][column] = colour_keys[k];
        }
    }
    return true;
}

// Velocities are written times ten; mazec truncates them, so round here.
int tenths(double v) { return static_cast<int>(v * 10.0 + (v < 0 ? -0.5 : 0.5)); }

// Reads the whole map, at most largest_map bytes. False after the message.
bool read_file(const char* path, std::string* text)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(levelgen_errors, "levelgen: cannot open %s: %s\n", path, std::strerror(errno));
        return false;
    }
    char buffer[65536];
    size_t n;
    while (static_cast<long>(text->size()) <= largest_map && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text->append(buffer, n);
    }
    bool failed = std::ferror(file);
    int error = errno;
    std::fclose(file);
    if (failed) {
        std::fprintf(levelgen_errors, "levelgen: cannot read %s: %s\n", path, std::strerror(error));
        return false;
    }
    if (static_cast<long>(text->size()) > largest_map) {
        std::fprintf(levelgen_errors, "levelgen: %s: too large: a map holds at most %ld bytes\n", path, largest_map);
        return false;
    }
    return true;
}

}  // namespace

std::FILE* levelgen_errors = stderr;

bool parse_map(const char* name, const char* text, size_t size)
{
    map_path = name;
    return read_map(text, size);
}

void level_texts(std::string texts[4])
{
    for (int i = 0; i < 4; i++) texts[i].clear();
    for (int r = 0; r < grid; r++) {
        for (int c = 0; c < grid; c++) {
            for (int l = 0; l < 2; l++) {
                char cell[CELL_TEXT_LENGTH + 1];
                cell_text_from_word(cell_word(l, r, c), cell);
                texts[l] += cell;
                texts[l] += '\n';
            }
            char line[64];
            std::snprintf(line, sizeof line, "%d %d %d\n", colours[r][c].red, colours[r][c].green,
                          colours[r][c].blue);
            texts[2] += line;
        }
    }
    for (const EntityLine& e : entity_lines) {
        char line[128];
        std::snprintf(line, sizeof line, "%d %d %d 0 %d %d 0 0 0 0\n", e.type, e.row, e.column,
                      tenths(e.vx), tenths(e.vy));
        texts[3] += line;
    }
}

int levelgen_main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(levelgen_errors, "usage: levelgen MAP OUTDIR\n"
                                      "writes layer1.txt, layer2.txt, colors.txt and entity.txt for mazec\n");
        return 2;
    }
    std::string text;
    if (!read_file(argv[1], &text) || !parse_map(argv[1], text.data(), text.size())) return 1;
    const std::string dir = argv[2];
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(levelgen_errors, "levelgen: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
        return 1;
    }
    std::string texts[4];
    level_texts(texts);
    const std::string paths[4] = {dir + "/layer1.txt", dir + "/layer2.txt", dir + "/colors.txt", dir + "/entity.txt"};
    return replace_files("levelgen", paths, texts, 4) ? 0 : 1;
}
