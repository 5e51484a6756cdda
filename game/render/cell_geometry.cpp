#include "render/cell_geometry.h"

#include "render/faces.h"
#include "world/world.h"

// A corner of the block: which x (row or row + 1), which y (col or col + 1) and which
// height (bottom or top).
struct CellCorner {
    uint8_t x, y, z;
};

struct CellFace {
    uint16_t bit;
    CellCorner v[4];  // V0..V3 in quad_vertices order; V_i gets light i
};

constexpr uint8_t X0 = 0, X1 = 1, Y0 = 0, Y1 = 1, ZB = 0, ZT = 1;

static const CellFace box_faces[] = {
    {CELL_NORTH, {{X0, Y1, ZB}, {X1, Y1, ZB}, {X0, Y1, ZT}, {X1, Y1, ZT}}},
    {CELL_SOUTH, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X0, Y0, ZT}, {X1, Y0, ZT}}},
    {CELL_EAST, {{X1, Y0, ZB}, {X1, Y1, ZB}, {X1, Y0, ZT}, {X1, Y1, ZT}}},
    {CELL_WEST, {{X0, Y0, ZB}, {X0, Y1, ZB}, {X0, Y0, ZT}, {X0, Y1, ZT}}},
    {CELL_TOP, {{X0, Y0, ZT}, {X1, Y0, ZT}, {X0, Y1, ZT}, {X1, Y1, ZT}}},
    {CELL_BOTTOM, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X0, Y1, ZB}, {X1, Y1, ZB}}},
};

// Ramps: the slope replaces the top, the side walls along the slope are triangles (last
// two vertices equal), and the low side has no face at all.
static const CellFace ramp_north_faces[] = {
    {CELL_NORTH, {{X0, Y1, ZB}, {X1, Y1, ZB}, {X0, Y1, ZT}, {X1, Y1, ZT}}},
    {CELL_EAST, {{X1, Y0, ZB}, {X1, Y1, ZB}, {X1, Y1, ZT}, {X1, Y1, ZT}}},
    {CELL_WEST, {{X0, Y0, ZB}, {X0, Y1, ZB}, {X0, Y1, ZT}, {X0, Y1, ZT}}},
    {CELL_TOP, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X1, Y1, ZT}, {X0, Y1, ZT}}},
    {CELL_BOTTOM, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X1, Y1, ZB}, {X0, Y1, ZB}}},
};

static const CellFace ramp_south_faces[] = {
    {CELL_SOUTH, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X0, Y0, ZT}, {X1, Y0, ZT}}},
    {CELL_EAST, {{X1, Y0, ZB}, {X1, Y1, ZB}, {X1, Y0, ZT}, {X1, Y0, ZT}}},
    {CELL_WEST, {{X0, Y0, ZB}, {X0, Y1, ZB}, {X0, Y0, ZT}, {X0, Y0, ZT}}},
    {CELL_TOP, {{X0, Y0, ZT}, {X1, Y0, ZT}, {X0, Y1, ZB}, {X1, Y1, ZB}}},
    {CELL_BOTTOM, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X1, Y1, ZB}, {X0, Y1, ZB}}},
};

static const CellFace ramp_east_faces[] = {
    {CELL_NORTH, {{X0, Y1, ZB}, {X1, Y1, ZB}, {X1, Y1, ZT}, {X1, Y1, ZT}}},
    {CELL_SOUTH, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X1, Y0, ZT}, {X1, Y0, ZT}}},
    {CELL_EAST, {{X1, Y0, ZB}, {X1, Y1, ZB}, {X1, Y0, ZT}, {X1, Y1, ZT}}},
    {CELL_TOP, {{X0, Y0, ZB}, {X1, Y0, ZT}, {X0, Y1, ZB}, {X1, Y1, ZT}}},
    {CELL_BOTTOM, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X1, Y1, ZB}, {X0, Y1, ZB}}},
};

static const CellFace ramp_west_faces[] = {
    {CELL_NORTH, {{X0, Y1, ZB}, {X1, Y1, ZB}, {X0, Y1, ZT}, {X0, Y1, ZT}}},
    {CELL_SOUTH, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X0, Y0, ZT}, {X0, Y0, ZT}}},
    {CELL_WEST, {{X0, Y0, ZB}, {X0, Y1, ZB}, {X0, Y0, ZT}, {X0, Y1, ZT}}},
    {CELL_TOP, {{X0, Y0, ZT}, {X1, Y0, ZB}, {X1, Y1, ZB}, {X0, Y1, ZT}}},
    {CELL_BOTTOM, {{X0, Y0, ZB}, {X1, Y0, ZB}, {X1, Y1, ZB}, {X0, Y1, ZB}}},
};

static void emit_cell_faces(const CellFace* faces, int face_count, uint16_t word, int row, int col)
{
    // Height code * 0.5 is the top; the block is one unit tall.
    double top = (word & CELL_HEIGHT_MASK) / 4096.0;
    double xs[2] = {static_cast<double>(row), row + 1.0};
    double ys[2] = {static_cast<double>(col), col + 1.0};
    double zs[2] = {top - 1.0, top};
    for (int f = 0; f < face_count; f++) {
        const CellFace& face = faces[f];
        if (!(word & face.bit)) continue;
        for (int i = 0; i < 4; i++) {
            quad_vertices[i][0] = xs[face.v[i].x];
            quad_vertices[i][1] = ys[face.v[i].y];
            quad_vertices[i][2] = zs[face.v[i].z];
        }
        emit_face(cell_colors[row][col]);
    }
}

template <int N>
static void emit_cell_faces(const CellFace (&faces)[N], uint16_t word, int row, int col)
{
    emit_cell_faces(faces, N, word, row, col);
}

void draw_cell_faces(uint16_t word, int row, int col)
{
    if (row < 0 || row >= GRID_SIZE || col < 0 || col >= GRID_SIZE) return;
    // All five bits 6..10 decide the shape: bits 9 and 10 make a word draw nothing.
    switch (word & CELL_SHAPE_MASK) {
    case 0: emit_cell_faces(box_faces, word, row, col); break;
    case RAMP_NORTH: emit_cell_faces(ramp_north_faces, word, row, col); break;
    case RAMP_SOUTH: emit_cell_faces(ramp_south_faces, word, row, col); break;
    case RAMP_EAST: emit_cell_faces(ramp_east_faces, word, row, col); break;
    case RAMP_WEST: emit_cell_faces(ramp_west_faces, word, row, col); break;
    default: break;
    }
}
