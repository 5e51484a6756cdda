#include "controller.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "shell/game.h"
#include "sim/collisions.h"
#include "sim/steering.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"

std::vector<Route> pilot_routes;
bool pilot_escape_at_end;
bool pilot_solid_at_start;
int pilot_max_frames = 200000;
std::vector<std::string> pilot_recorded;
std::vector<std::string> pilot_notes;
int pilot_error_count;

namespace {

constexpr uint32_t first_tick = 1000;
// The motion step adds a tenth of the drive to the velocity at each call.
constexpr double drive_divisor = 10.0;

double safe_radius;      // 0: wanderers are ignored
size_t route_index;      // the attempt in progress
size_t command_index;
int command_frames;      // frames spent in the current command
int frames_after_route;  // frames since the last command finished
bool attempt_over;       // the previous frame ended the level
bool routes_done;
uint32_t tick;           // the tick of the frame last recorded

int clamp_counts(double counts)
{
    if (!(counts > -MOUSE_CLAMP)) return -MOUSE_CLAMP;
    if (!(counts < MOUSE_CLAMP)) return MOUSE_CLAMP;
    return static_cast<int>(std::lround(counts));
}

// Mouse counts that change the ball's velocity from (vx, vy) toward (wx, wy) within one
// frame as far as the clamp allows. The push is turned by the ball's heading, which is
// the camera's yaw: forward f = -dx * 0.0005 and sideways d = dy * 0.0005 add
// f cos h + d sin h to vx and d cos h - f sin h to vy.
void counts_for_velocity(double vx, double vy, double wx, double wy, int* dx, int* dy)
{
    int i = angle_index(camera_yaw);
    double c = cos_table[i], s = sin_table[i];
    double ux = wx - vx, uy = wy - vy;
    double forward = c * ux - s * uy, side = s * ux + c * uy;
    double per_count = DRIVE_PER_COUNT / drive_divisor;
    *dx = clamp_counts(-forward / per_count);
    *dy = clamp_counts(side / per_count);
}

// Distance from point (px, py) to the segment from (ax, ay) to (bx, by).
double segment_distance(double px, double py, double ax, double ay, double bx, double by)
{
    double sx = bx - ax, sy = by - ay;
    double length2 = sx * sx + sy * sy;
    double t = length2 > 0 ? ((px - ax) * sx + (py - ay) * sy) / length2 : 0;
    t = std::fmax(0.0, std::fmin(1.0, t));
    double dx = ax + t * sx - px, dy = ay + t * sy - py;
    return std::sqrt(dx * dx + dy * dy);
}

// With a safety radius set: the wanderer nearest to the way from the ball to (tx, ty), if
// it is within the radius; its slot in *slot. -1 when the way is clear.
double wanderer_threat(double tx, double ty, int* slot)
{
    const Entity& ball = entities[player_index];
    double nearest = -1;
    *slot = -1;
    if (safe_radius <= 0) return -1;
    for (int i = 0; i < entity_count; i++) {
        const Entity& w = entities[i];
        if (w.type != ENTITY_WANDERER) continue;
        double d = segment_distance(w.x, w.y, ball.x, ball.y, tx, ty);
        if (d < safe_radius && (nearest < 0 || d < nearest)) {
            nearest = d;
            *slot = i;
        }
    }
    return nearest;
}

// True when the square under (x, y) is free to roll on at the ball's layer.
bool open_floor(double x, double y, double z)
{
    if (!(x > 0 && y > 0 && x < GRID_SIZE && y < GRID_SIZE)) return false;
    int layer = z < 1.0 ? 0 : 1;
    uint16_t word = cell_at(layer, static_cast<int>(x), static_cast<int>(y));
    return (word & CELL_SOLID) == 0;
}

// The velocity that keeps the ball away from a wanderer: stand still while it is not
// coming close; when it is, roll the open way that ends farthest from where it will be.
void flee(const Entity& w, double* wx, double* wy)
{
    const Entity& ball = entities[player_index];
    *wx = *wy = 0;
    double ax = ball.x - w.x, ay = ball.y - w.y;
    double distance = std::sqrt(ax * ax + ay * ay);
    double closing = distance > 1e-9 ? (w.vx * ax + w.vy * ay) / distance : 0;
    if (distance > 3.5 || (distance > 2.0 && closing < 0.1)) return;
    // Where the wanderer will be in about a third of a second, as it goes now.
    double ahead = 2.0;  // time units of 100 ms
    double fx = w.x + w.vx * ahead, fy = w.y + w.vy * ahead;
    double best = -1;
    for (int k = 0; k < 16; k++) {
        double angle = k * 6.283185307179586 / 16;
        double ux = std::cos(angle), uy = std::sin(angle);
        // Look along the way a short distance: walls end it.
        double reach = 0;
        for (double step = 0.25; step <= 1.5; step += 0.25) {
            if (!open_floor(ball.x + ux * (step + 0.4), ball.y + uy * (step + 0.4), ball.z)) break;
            reach = step;
        }
        double px = ball.x + ux * reach - fx, py = ball.y + uy * reach - fy;
        double score = std::sqrt(px * px + py * py) + 0.3 * reach;
        if (score > best) {
            best = score;
            *wx = ux * 0.45;
            *wy = uy * 0.45;
        }
    }
}

// Steers one frame of the current command; false when the command is finished.
bool steer(const Command& c, int* dx, int* dy, bool* left, bool* right)
{
    const Entity& ball = entities[player_index];
    double ex = c.row - ball.x, ey = c.column - ball.y;
    double distance = std::sqrt(ex * ex + ey * ey);
    switch (c.kind) {
    case command_goto: {
        double speed = std::fmin(c.speed, 0.12 + 0.25 * distance);
        double ball_speed = std::sqrt(ball.vx * ball.vx + ball.vy * ball.vy);
        if (distance < c.reach && ball_speed < 0.2) return false;
        double wx = distance > 1e-9 ? ex / distance * speed : 0;
        double wy = distance > 1e-9 ? ey / distance * speed : 0;
        if (distance < c.reach) wx = wy = 0;
        int slot;
        if (wanderer_threat(c.row, c.column, &slot) >= 0) {
            // A wanderer is in the way: back away from it if it is close, else wait.
            flee(entities[slot], &wx, &wy);
        }
        counts_for_velocity(ball.vx, ball.vy, wx, wy, dx, dy);
        return true;
    }
    case command_climb: {
        // A full push along the way: the drive stays in force while the ball is off the
        // ground on the slope, and it has to beat the ramp's pull.
        if (distance < 0.3) return false;
        counts_for_velocity(0, 0, ex / distance * 0.1, ey / distance * 0.1, dx, dy);
        return true;
    }
    case command_hold:
    case command_tap:
        return command_frames < c.frames;
    case command_push:
        *dx = c.dx;
        *dy = c.dy;
        return command_frames < c.frames;
    case command_safe:
        safe_radius = c.radius;
        return false;
    case command_chase: {
        // Rolls at the nearest wanderer until the level ends.
        int nearest = -1;
        double nearest_d2 = 0;
        for (int i = 0; i < entity_count; i++) {
            const Entity& w = entities[i];
            if (w.type != ENTITY_WANDERER) continue;
            double d2 = (w.x - ball.x) * (w.x - ball.x) + (w.y - ball.y) * (w.y - ball.y);
            if (nearest < 0 || d2 < nearest_d2) {
                nearest = i;
                nearest_d2 = d2;
            }
        }
        if (nearest < 0) return false;
        double gx = entities[nearest].x - ball.x, gy = entities[nearest].y - ball.y;
        double d = std::sqrt(nearest_d2);
        if (d < 1e-9) return true;
        counts_for_velocity(ball.vx, ball.vy, gx / d * 0.3, gy / d * 0.3, dx, dy);
        return true;
    }
    case command_push_block: {
        // Pushes the bouncing block toward +y: wait behind it while it is high, close in
        // while it is low, keeping in line with its centre.
        if (block_index < 0 || block_index >= entity_count) return false;
        const Entity& block = entities[block_index];
        bool low = block.z <= 2.25 || (block.vz < 0 && block.z < 2.6);
        double wy;
        if (low) {
            wy = 0.4;
        } else {
            double wait_y = block.y - 2.4;
            wy = std::fmax(-0.3, std::fmin(0.3, (wait_y - ball.y) * 0.5));
        }
        double wx = std::fmax(-0.2, std::fmin(0.2, (block.x - ball.x) * 0.5));
        counts_for_velocity(ball.vx, ball.vy, wx, wy, dx, dy);
        return true;
    }
    case command_pitch:
    case command_yaw: {
        // The right button turns the mouse's motion into tilt and turn. The ball keeps its
        // last push meanwhile, so turn the camera while it is at rest with no push.
        double now = c.kind == command_pitch ? camera_pitch : camera_yaw;
        int counts = clamp_counts((c.pitch - now) / ANGLE_PER_COUNT);
        if (counts == 0) return false;
        *(c.kind == command_pitch ? dy : dx) = counts;
        *right = true;
        return true;
    }
    case command_distance: {
        // The left button turns vertical motion into the camera's distance.
        int counts = clamp_counts((c.pitch - camera_distance) / DISTANCE_PER_COUNT);
        if (counts == 0) return false;
        *dy = counts;
        *left = true;
        return true;
    }
    }
    return false;
}

}  // namespace

uint32_t pilot_frame_tick(int frame)
{
    return first_tick + static_cast<uint32_t>(static_cast<uint64_t>(frame) * 1000 / 60);
}

bool pilot_next_line(int frame, ScriptFrameInput* input)
{
    if (frame >= pilot_max_frames) {
        std::fprintf(stderr, "mazepilot: stopped after %d frames\n", pilot_max_frames);
        pilot_error_count++;
        return false;
    }
    if (attempt_over) {
        attempt_over = false;
        route_index++;
        command_index = 0;
        command_frames = 0;
        frames_after_route = 0;
        safe_radius = 0;
    }
    if (route_index >= pilot_routes.size()) {
        routes_done = true;
        return false;  // the platform holds Escape from here on
    }
    const Route& route = pilot_routes[route_index];
    int dx = 0, dy = 0;
    int key = 0;
    bool left = false, right = false;
    while (command_index < route.commands.size()) {
        if (steer(route.commands[command_index], &dx, &dy, &left, &right)) break;
        command_index++;
        command_frames = 0;
        dx = dy = 0;
        left = right = false;
    }
    if (command_index < route.commands.size()) {
        if (route.commands[command_index].kind == command_tap) key = route.commands[command_index].key;
        command_frames++;
    } else if (!route.expect_end) {
        // The run ends here, in the middle of the level: Escape from the next frame on.
        routes_done = true;
        route_index = pilot_routes.size();
        return false;
    } else {
        // Past the last command the ball keeps heading for the last target.
        for (size_t i = route.commands.size(); i-- > 0;) {
            const Command& c = route.commands[i];
            if (c.kind == command_goto || c.kind == command_climb) {
                Command last = c;
                last.reach = 0.01;
                steer(last, &dx, &dy, &left, &right);
                break;
            }
        }
        if (++frames_after_route > route.limit) {
            std::fprintf(stderr, "mazepilot: %s: the level did not end %d frames after the route\n",
                         route.path.c_str(), route.limit);
            pilot_error_count++;
            return false;
        }
    }
    tick = pilot_frame_tick(frame);
    std::memset(input, 0, sizeof *input);
    input->tick = tick;
    input->dx = dx;
    input->dy = dy;
    input->left = left;
    input->right = right;
    char keys[8] = "-";
    if (frame == 0 && pilot_solid_at_start) key = 0x3E;
    if (key) {
        input->keys[key] = KEY_HELD;
        std::snprintf(keys, sizeof keys, "%02X", key);
    }
    char line[64];
    const char* buttons = left && right ? "LR" : left ? "L" : right ? "R" : "-";
    std::snprintf(line, sizeof line, "%u %d %d %s %s", tick, dx, dy, buttons, keys);
    pilot_recorded.push_back(line);
    return true;
}

void pilot_after_present(const uint8_t*, const uint8_t (*)[3], int)
{
    if (closing_message_active || routes_done || route_index >= pilot_routes.size()) return;
    if (!level_done) return;
    const Route& route = pilot_routes[route_index];
    bool failed = level_failed != 0;
    char note[256];
    std::snprintf(note, sizeof note, "# %s: level %d %s at frame %zu (tick %u)", route.path.c_str(),
                  level_number, failed ? "lost" : "won", pilot_recorded.size() - 1, tick);
    pilot_notes.push_back(note);
    std::printf("%s\n", note + 2);
    if (!route.expect_end) {
        std::fprintf(stderr, "mazepilot: %s: the level ended during a route that expects none\n",
                     route.path.c_str());
        pilot_error_count++;
    } else if (failed != route.expect_failure) {
        std::fprintf(stderr, "mazepilot: %s: expected the level to be %s\n", route.path.c_str(),
                     route.expect_failure ? "lost" : "won");
        pilot_error_count++;
    }
    attempt_over = true;
    if (pilot_escape_at_end && route_index + 1 == pilot_routes.size() && !pilot_recorded.empty()) {
        // Escape in the last frame ends the game right after it, with the farewell.
        std::string& last = pilot_recorded.back();
        size_t keys = last.rfind(' ') + 1;
        if (last.compare(keys, std::string::npos, "-") == 0) last.replace(keys, 1, "01");
        else last += ",01";
    }
}

bool pilot_played_every_route()
{
    return routes_done || route_index + (attempt_over ? 1 : 0) >= pilot_routes.size();
}
