// Mouse steering of the ball and the camera, and the camera's follow of the ball.
#pragma once

#include <cstdint>

// How the mouse acts, in counts of motion per frame.
constexpr int32_t MOUSE_CLAMP = 100;                   // both axes, before any use
constexpr double ANGLE_PER_COUNT = 0.00157079632675;  // camera yaw and pitch, radians
constexpr double DISTANCE_PER_COUNT = 0.005;          // camera distance
constexpr double DRIVE_PER_COUNT = 0.005;             // the ball's push

// One frame's mouse as the frame loop read it: motion since the previous read and the
// two buttons (a mouse that could not be read comes as no motion and no buttons).
void steer_player(int32_t dx, int32_t dy, bool left, bool right);
void follow_camera();
