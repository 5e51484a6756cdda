#include "sim/steering.h"

#include <cmath>

#include "shell/input.h"
#include "sim/grid_access.h"
#include "world/camera.h"

namespace {

constexpr int32_t mouse_clamp = 100;          // counts per frame, both axes
constexpr double angle_per_count = 0.00157079632675;
constexpr double angle_limit = 6.283185307;   // a full turn: reset to 0, not wrapped
constexpr double distance_per_count = 0.005;
constexpr double min_distance = 2.5;
constexpr double drive_per_count = 0.005;
constexpr double ground_tolerance = 0.375;
constexpr double dead_zone_x = 0.8;           // in units of the camera distance
constexpr double dead_zone_y = 0.6;

int32_t clamp_motion(int32_t counts)
{
    if (counts < -mouse_clamp) return -mouse_clamp;
    if (counts > mouse_clamp) return mouse_clamp;
    return counts;
}

// Adds the turn and drops the angle back to 0 once it reaches a full turn either way.
void turn(double* angle, int32_t counts)
{
    *angle += counts * angle_per_count;
    if (*angle >= angle_limit || *angle <= -angle_limit) *angle = 0.0;
}

}  // namespace

void steer_player()
{
    int32_t dx = 0, dy = 0, left = 0, right = 0;
    if (!read_mouse(&dx, &dy, &left, &right)) {
        // An unreadable mouse counts as a mouse at rest with no button held.
        dx = dy = left = right = 0;
    }
    dx = clamp_motion(dx);
    dy = clamp_motion(dy);

    if (right != 0) {
        turn(&camera_pitch, dy);
        turn(&camera_yaw, dx);
    } else if (left != 0) {
        camera_distance += dy * distance_per_count;
        if (camera_distance < min_distance) camera_distance = min_distance;
    } else {
        Entity* ball = player_entity();
        if (!ball) return;
        // Only a ball resting on a floor can be pushed; in the air it keeps its drive.
        if (std::trunc(ball->z) + ground_tolerance >= ball->z) {
            ball->drive_fwd = -dx * drive_per_count;
            ball->drive_side = dy * drive_per_count;
            ball->drive_up = 0.0;
        }
    }
}

void follow_camera()
{
    const Entity* ball = player_entity();
    if (!ball) return;
    double a = (ball->x - camera_focus_x) / camera_distance;
    double b = (ball->y - camera_focus_y) / camera_distance;
    // A ball at a non-finite position would make the focus non-finite for good.
    if (std::isfinite(a)) {
        if (a < -dead_zone_x) {
            camera_focus_x = camera_focus_x + dead_zone_x + a;
        } else if (a > dead_zone_x) {
            camera_focus_x = camera_focus_x - dead_zone_x + a;
        }
    }
    if (std::isfinite(b)) {
        if (b < -dead_zone_y) {
            camera_focus_y = camera_focus_y + dead_zone_y + b;
        } else if (b > dead_zone_y) {
            camera_focus_y = camera_focus_y - dead_zone_y + b;
        }
    }
}
