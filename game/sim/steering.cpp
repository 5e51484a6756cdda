#include "sim/steering.h"

#include <cmath>

#include "sim/grid_access.h"
#include "world/camera.h"
#include "world/rules.h"

namespace {

constexpr double angle_limit = 6.283185307;   // a full turn: reset to 0, not wrapped
constexpr double min_distance = 2.5;
constexpr double ground_tolerance = BALL_RADIUS;
constexpr double dead_zone_x = 0.8;           // in units of the camera distance
constexpr double dead_zone_y = 0.6;

int32_t clamp_motion(int32_t counts)
{
    if (counts < -MOUSE_CLAMP) return -MOUSE_CLAMP;
    if (counts > MOUSE_CLAMP) return MOUSE_CLAMP;
    return counts;
}

// Adds the turn and drops the angle back to 0 once it reaches a full turn either way.
void turn(double* angle, int32_t counts)
{
    *angle += counts * ANGLE_PER_COUNT;
    if (*angle >= angle_limit || *angle <= -angle_limit) *angle = 0.0;
}

}  // namespace

void steer_player(int32_t dx, int32_t dy, bool left, bool right)
{
    dx = clamp_motion(dx);
    dy = clamp_motion(dy);

    if (right) {
        turn(&camera_pitch, dy);
        turn(&camera_yaw, dx);
    } else if (left) {
        camera_distance += dy * DISTANCE_PER_COUNT;
        if (camera_distance < min_distance) camera_distance = min_distance;
    } else {
        Entity* ball = player_entity();
        if (!ball) return;
        // Only a ball resting on a floor can be pushed; in the air it keeps its drive.
        if (std::trunc(ball->z) + ground_tolerance >= ball->z) {
            ball->drive_fwd = -dx * DRIVE_PER_COUNT;
            ball->drive_side = dy * DRIVE_PER_COUNT;
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
