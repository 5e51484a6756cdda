// The camera variables: reset at every level start, driven by the steering,
// read by the renderer.
#pragma once

extern double camera_focus_x;   // 5.0 at level start
extern double camera_focus_y;   // 5.0
extern double camera_distance;  // 7.0, never below 2.5
extern double camera_pitch;     // 0.1 radians; 0 looks straight down
extern double camera_yaw;       // 0.0 radians
