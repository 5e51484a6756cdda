#include "render/scene.h"

#include <algorithm>
#include <cmath>

#include "render/cell_geometry.h"
#include "render/draw_threads.h"
#include "render/nearest_first.h"
#include "render/frame.h"
#include "render/entity_shapes.h"
#include "render/faces.h"
#include "render/projection.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"


// The light hangs half a unit above the floor wherever the ball is.
constexpr double light_height = 0.5;

void build_view_matrix()
{
    double sy = sin_table[angle_index(camera_yaw)];
    double cy = cos_table[angle_index(camera_yaw)];
    double sp = sin_table[angle_index(camera_pitch)];
    double cp = cos_table[angle_index(camera_pitch)];
    double fx = camera_focus_x;
    double fy = camera_focus_y;
    double d = camera_distance;
    // Move by (-fx, -fy, -d), turn by the yaw about z, tilt by the pitch about x.
    double rows[3][4] = {
        {cy, -sy, 0.0, -cy * fx + sy * fy},
        {cp * sy, cp * cy, -sp, -fx * cp * sy - fy * cp * cy + d * sp},
        {sp * sy, sp * cy, cp, -fx * sp * sy - fy * sp * cy - d * cp},
    };
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 4; c++) view_matrix[r][c] = rows[r][c];
    }
}

static void set_vertex(int i, double x, double y, double z)
{
    quad_vertices[i][0] = x;
    quad_vertices[i][1] = y;
    quad_vertices[i][2] = z;
}

// The first and last row (or column) of squares whose centre can lie within visit_radius
// of the light coordinate l, a number, a square or so to spare: only those can pass the
// distance test.
static void near_squares(double l, int* range)
{
    if (!(l > -2.0 * GRID_SIZE && l < 3.0 * GRID_SIZE)) {
        range[0] = 0;
        range[1] = -1;  // far off the grid: none
        return;
    }
    range[0] = std::max(0, static_cast<int>(std::floor(l - 0.5 - visit_radius)) - 1);
    range[1] = std::min(GRID_SIZE - 1, static_cast<int>(std::ceil(l - 0.5 + visit_radius)) + 1);
}

// Draws the squares near the ball and the entities; in solid mode on every drawing
// thread, each drawing its own rows.
static void walk_scene()
{
    const double lx = light_point[0];
    const double ly = light_point[1];
    const double limit = visit_radius * visit_radius;
    int rows[2] = {0, GRID_SIZE - 1}, cols[2] = {0, GRID_SIZE - 1};
    if (lx == lx && ly == ly) {  // one coordinate not a number lets every square pass
        near_squares(lx, rows);
        near_squares(ly, cols);
    }

    for (int row = rows[0]; row <= rows[1]; row++) {
        for (int col = cols[0]; col <= cols[1]; col++) {
            double dx = lx - row - 0.5;
            double dy = ly - col - 0.5;
            if (dx * dx + dy * dy >= limit) continue;
            set_vertex(0, row, col, 0.0);
            set_vertex(1, row + 1, col, 0.0);
            set_vertex(2, row, col + 1, 0.0);
            set_vertex(3, row + 1, col + 1, 0.0);
            emit_face(cell_colors[row][col]);
            draw_cell_faces(cells[0][row][col], row, col);
            draw_cell_faces(cells[1][row][col], row, col);
        }
    }
    draw_entities();
}

// The same, nearer faces first: fewer pixels are drawn over.
static void walk_scene_nearest_first()
{
    start_nearest_first();
    walk_scene();
    finish_nearest_first();
}

void render_scene()
{
    build_view_matrix();
    light_point[0] = entities[0].x;
    light_point[1] = entities[0].y;
    light_point[2] = light_height;
    // Outlines are lines, which are not split by rows.
    // Drawing in another order needs the buffer farther than every depth drawn.
    const bool nearest_first = depth_buffer_cleared;
    depth_buffer_cleared = false;
    if (!(debug_flags & DEBUG_SOLID)) walk_scene();
    else run_on_draw_threads(nearest_first ? walk_scene_nearest_first : walk_scene);
}
