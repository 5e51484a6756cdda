#include "render/palette.h"

#include "render/palette_tables.h"

uint8_t palette[256][3];
uint8_t dither_red[256][4];
uint8_t dither_green_blue[256][4];

uint8_t dither_red_by_position[4][256];
uint8_t dither_blue_by_position[4][256];
uint8_t dither_green_by_position[4][256];

void build_palette()
{
    for (int g = 0; g < 6; g++) {
        for (int b = 0; b < 6; b++) {
            for (int r = 0; r < 7; r++) {
                uint8_t* entry = palette[r + 7 * b + 42 * g];
                entry[0] = static_cast<uint8_t>(r * 256 / 7);
                entry[1] = static_cast<uint8_t>(g * 256 / 6);
                entry[2] = static_cast<uint8_t>(b * 256 / 6);
            }
        }
    }
    // The cube has no pure white and no saturated yellow or cyan; the overlay texts
    // are drawn in yellow (255, 255, 0) and cyan (0, 255, 255), so they get exact
    // entries, with white and a light grey for any other text.
    static const uint8_t extra[4][3] = {
        {255, 255, 255},  // 252 white
        {192, 192, 192},  // 253 light grey
        {255, 255, 0},    // 254 yellow: the level banner and closing messages
        {0, 255, 255},    // 255 cyan: the frame-rate text
    };
    for (int i = 0; i < 4; i++) {
        for (int c = 0; c < 3; c++) palette[252 + i][c] = extra[i][c];
    }
}

void build_dither_tables()
{
    for (int v = 0; v < 256; v++) {
        for (int k = 0; k < 4; k++) {
            dither_red[v][k] = static_cast<uint8_t>(dithered_level(v, red_scale, k));
            dither_green_blue[v][k] = static_cast<uint8_t>(dithered_level(v, green_blue_scale, k));
        }
    }
    // The span loop reads one row per dither position with the palette weights folded in.
    for (int k = 0; k < 4; k++) {
        for (int v = 0; v < 256; v++) {
            dither_red_by_position[k][v] = dither_red[v][k];
            dither_blue_by_position[k][v] = static_cast<uint8_t>(7 * dither_green_blue[v][k]);
            dither_green_by_position[k][v] = static_cast<uint8_t>(42 * dither_green_blue[v][k]);
        }
    }
}

int outline_index(const uint8_t* rgb)
{
    return rgb[0] / 37 + 7 * (rgb[2] / 43) + 42 * (rgb[1] / 43);
}

int nearest_palette_index(int red, int green, int blue)
{
    red &= 0xFF;
    green &= 0xFF;
    blue &= 0xFF;
    int best = 0;
    int best_distance = 1 << 30;
    for (int i = 0; i < 256; i++) {
        int dr = palette[i][0] - red;
        int dg = palette[i][1] - green;
        int db = palette[i][2] - blue;
        int distance = dr * dr + dg * dg + db * db;
        // Strictly nearer only: on a tie the lower index wins.
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return best;
}
