#include "world/camera.h"

double camera_focus_x = 5.0;
double camera_focus_y = 5.0;
double camera_distance = 7.0;
double camera_pitch = 0.1;
double camera_yaw = 0.0;
