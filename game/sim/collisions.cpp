#include "sim/collisions.h"

#include <cmath>

#include "sim/grid_access.h"
#include "world/rules.h"

int32_t level_done;
int32_t level_failed;
int32_t last_cell_row, last_cell_col, last_cell_layer;
int32_t first_collision_pass = 1;

namespace {

constexpr double radius = BALL_RADIUS;            // also the wall and corner clearance
constexpr double radius_squared = BALL_RADIUS * BALL_RADIUS;  // 0.140625
constexpr double ramp_lift = 0.15533008575;       // extra height of the centre on a slope
constexpr double floor_bounce = -0.5;
constexpr double block_goal = BLOCK_GOAL_Y;
constexpr double block_half = BLOCK_HALF_SIZE;
constexpr double block_contact = BLOCK_HALF_SIZE + BALL_RADIUS;  // 1.875
constexpr double block_danger_height = 2.25;
constexpr double block_floor = BLOCK_REST_HEIGHT;
constexpr double block_bounce = 0.5;
constexpr double block_push = 0.25;
constexpr double block_rebound = -0.5;            // factor on vy after a push

void end_level(int32_t failed)
{
    level_done = 1;
    level_failed = failed;
}

bool on_goal_square(int64_t r, int64_t c)
{
    if (!on_grid(static_cast<int>(r), static_cast<int>(c))) return false;
    return is_goal_color(cell_colors[r][c]);
}

bool caught_by_wanderer(const Entity& ball)
{
    int32_t count = entity_count < ENTITY_SLOTS ? entity_count : ENTITY_SLOTS;
    for (int32_t i = 0; i < count; i++) {
        const Entity& e = entities[i];
        if (e.type != ENTITY_WANDERER) continue;
        double dx = e.x - ball.x, dy = e.y - ball.y, dz = e.z - ball.z;
        if (dx * dx + dy * dy + dz * dz < WANDERER_REACH_SQUARED) return true;
    }
    return false;
}

// At most one face per pass, the first that applies; a ramp's face on its low side is
// open so that the ball can roll onto it.
void push_out_of_faces(Entity& b, int64_t l, int64_t r, int64_t c)
{
    double row = static_cast<double>(r), col = static_cast<double>(c);
    if ((cell_near(l, r - 1, c) & CELL_EAST) && ramp_near(l, r - 1, c) != RAMP_WEST &&
        b.x - row <= radius) {
        b.x = row + radius;
        b.vx = -b.vx;
    } else if ((cell_near(l, r + 1, c) & CELL_WEST) && ramp_near(l, r + 1, c) != RAMP_EAST &&
               (row + 1) - b.x <= radius) {
        b.x = row + 1 - radius;
        b.vx = -b.vx;
    } else if ((cell_near(l, r, c - 1) & CELL_NORTH) && ramp_near(l, r, c - 1) != RAMP_SOUTH &&
               b.y - col <= radius) {
        b.y = col + radius;
        b.vy = -b.vy;
    } else if ((cell_near(l, r, c + 1) & CELL_SOUTH) && ramp_near(l, r, c + 1) != RAMP_NORTH &&
               (col + 1) - b.y <= radius) {
        b.y = col + 1 - radius;
        b.vy = -b.vy;
    }
}

// Distances along x and y from the ball out to exactly one radius from a corner point,
// along the line from the corner through the centre. A centre right on the corner has
// no such line; it then leaves along the diagonal into its own cell.
void corner_offsets(double a, double b, double* x_offset, double* y_offset)
{
    if (a == 0.0 && b == 0.0) a = b = 1.0;
    *x_offset = radius / std::sqrt(1 + (b / a) * (b / a));
    *y_offset = radius / std::sqrt(1 + (a / b) * (a / b));
}

// A diagonal neighbour whose faces toward this cell make a corner at one of its
// four corner points. far_x: the corner is at row + 1 (else at row); likewise far_y.
struct Corner {
    int dr, dc;
    uint16_t faces;
    bool far_x, far_y;
    double swap_sign;  // the velocity (vx, vy) becomes swap_sign * (vy, vx)
};

constexpr Corner corners[4] = {
    {+1, -1, CELL_NORTH | CELL_WEST, true, false, +1.0},
    {-1, -1, CELL_NORTH | CELL_EAST, false, false, -1.0},
    {+1, +1, CELL_SOUTH | CELL_WEST, true, true, -1.0},
    {-1, +1, CELL_SOUTH | CELL_EAST, false, true, +1.0},
};

// The corners of the four diagonal neighbours, each tested on its own with the position
// left by the ones before; the velocity is reflected as at a 45-degree wall.
void push_out_of_corners(Entity& e, int64_t l, int64_t r, int64_t c)
{
    for (const Corner& k : corners) {
        if ((cell_near(l, r + k.dr, c + k.dc) & k.faces) == 0) continue;
        double corner_x = static_cast<double>(r) + (k.far_x ? 1 : 0);
        double corner_y = static_cast<double>(c) + (k.far_y ? 1 : 0);
        double a = k.far_x ? corner_x - e.x : e.x - corner_x;
        double b = k.far_y ? corner_y - e.y : e.y - corner_y;
        if (a * a + b * b >= radius_squared) continue;
        double vx = e.vx;
        e.vx = k.swap_sign * e.vy;
        e.vy = k.swap_sign * vx;
        double x_offset, y_offset;
        corner_offsets(a, b, &x_offset, &y_offset);
        e.x = k.far_x ? corner_x - x_offset : corner_x + x_offset;
        e.y = k.far_y ? corner_y - y_offset : corner_y + y_offset;
    }
}

// The ground, the top of a cube below and the ramps; returns the layer m that the
// ball's height gives after landing.
int64_t settle_on_floors(Entity& b, int64_t l, int64_t r, int64_t c)
{
    if (b.z <= radius) {
        b.z = radius;
        b.vz = floor_bounce * b.vz;
    }
    uint16_t below = cell_near(l - 1, r, c);
    if (l > 0 && static_cast<double>(l) + radius >= b.z && (below & CELL_RAMP_MASK) == 0 &&
        (below & CELL_TOP)) {
        b.z = static_cast<double>(l) + radius;
        b.vz = floor_bounce * b.vz;
    }

    int64_t m = cell_index(b.z);
    double layer_floor = static_cast<double>(m);
    double row = static_cast<double>(r), col = static_cast<double>(c);
    // The foot of a neighbouring ramp whose low edge borders this cell lifts the ball
    // once its centre is within ramp_lift of that edge; a is the distance to the edge.
    struct Foot {
        int dr, dc;
        uint16_t ramp;
        double a;
    };
    const Foot feet[4] = {
        {+1, 0, RAMP_EAST, (row + 1) - b.x},
        {-1, 0, RAMP_WEST, b.x - row},
        {0, -1, RAMP_SOUTH, b.y - col},
        {0, +1, RAMP_NORTH, (col + 1) - b.y},
    };
    for (const Foot& f : feet) {
        if (ramp_near(m, r + f.dr, c + f.dc) == f.ramp && f.a <= ramp_lift)
            b.z = layer_floor + ramp_lift - f.a + radius;
    }

    // On a ramp the centre is put on the slope, whatever its height and vz were.
    switch (ramp_near(m, r, c)) {
    case RAMP_NORTH: b.z = layer_floor + ramp_lift + (b.y - col) + radius; break;
    case RAMP_SOUTH: b.z = layer_floor + ramp_lift + ((col + 1) - b.y) + radius; break;
    case RAMP_EAST: b.z = layer_floor + ramp_lift + (b.x - row) + radius; break;
    case RAMP_WEST: b.z = layer_floor + ramp_lift + ((row + 1) - b.x) + radius; break;
    default: break;
    }
    return m;
}

// The ball against the bouncing block; true when that ends the level.
bool meet_block(Entity& b)
{
    Entity* block = bouncing_block();
    if (!block) return false;
    Entity& k = *block;
    if (k.y >= block_goal) {
        end_level(0);
        return true;
    }
    if (std::fabs(k.x - b.x) < block_half && std::fabs(k.y - b.y) < block_half &&
        k.z <= block_danger_height) {
        end_level(1);
        return true;
    }
    if (k.z <= block_floor) {
        k.z = block_floor;
        k.vz = block_bounce;
    }
    if (std::fabs(k.x - b.x) < block_half && std::fabs(k.y - b.y) < block_contact &&
        k.z <= block_danger_height) {
        // Whichever side it touches, the ball ends up on the -y side of a block that moves on.
        b.y = k.y - block_contact;
        k.y = k.y + block_push;
        b.vy = block_rebound * b.vy;
    }
    if (std::fabs(k.x - b.x) < block_contact && std::fabs(k.y - b.y) < block_half &&
        k.z <= block_danger_height) {
        b.x = b.x > k.x ? k.x + block_contact : k.x - block_contact;
        b.vx = -b.vx;
    }
    return false;
}

}  // namespace

void resolve_collisions()
{
    Entity* ball = player_entity();
    if (!ball) return;
    Entity& b = *ball;
    // The cell stays the one the ball started the pass in, even as x and y change.
    int64_t r = cell_index(b.x);
    int64_t c = cell_index(b.y);
    int64_t l = cell_index(b.z + radius);

    if (on_goal_square(r, c)) {
        end_level(0);
        return;
    }
    if (caught_by_wanderer(b)) {
        end_level(1);
        return;
    }

    int64_t k = l;
    if (l < 2) {
        push_out_of_faces(b, l, r, c);
        push_out_of_corners(b, l, r, c);
        k = settle_on_floors(b, l, r, c);
    }
    if (meet_block(b)) return;

    // A ball found inside a closed cube goes back to the corner of its previous cell.
    uint16_t here = cell_near(k, r, c);
    if (first_collision_pass == 0 && (k == 0 || k == 1) && (here & CELL_SOLID) == CELL_SOLID &&
        (here & CELL_RAMP_MASK) == 0) {
        b.x = last_cell_row;
        b.y = last_cell_col;
        b.z = last_cell_layer;
        b.vx = -b.vx;
        b.vy = -b.vy;
        b.vz = -b.vz;
    }

    // r, c and k come from clamped truncations, so they fit in 32 bits.
    last_cell_row = static_cast<int32_t>(r);
    last_cell_col = static_cast<int32_t>(c);
    last_cell_layer = static_cast<int32_t>(k);
    first_collision_pass = 0;
}
