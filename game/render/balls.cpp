#include "render/balls.h"

#include "render/frame.h"
#include "render/projection.h"
#include "render/rasterizer.h"
#include "world/numeric.h"

void draw_ball(double x, double y, double z, double radius)
{
    double world[3] = {x, y, z};
    double camera[3];
    transform_point(world, camera);
    if (!(camera[2] < near_limit)) return;
    double depth = depth_scale * camera[2];
    double scaled_radius = depth_scale * radius;
    double sx;
    double sy;
    project_point(depth_scale * camera[0], depth_scale * camera[1], depth, &sx, &sy);
    double sr = (projection_distance * scaled_radius) / (projection_distance + depth);
    // With the usual negative sr this keeps every ball whose square reaches the screen;
    // a ball behind the eye (positive sr) must lie wholly inside it.
    if (!(sx - sr >= 0.0 && sx + sr < SCREEN_WIDTH && sy - sr >= 0.0 && sy + sr < SCREEN_HEIGHT)) return;
    int32_t cx = clamp_to_int32(sx);
    int32_t cy = clamp_to_int32(sy);
    int32_t r = clamp_to_int32(sr);
    draw_ball_shape(cx, cy, depth, r, ball_outline_color);
}
