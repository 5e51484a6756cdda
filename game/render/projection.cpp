#include "render/projection.h"

#include "render/faces.h"
#include "render/frame.h"
#include "render/rasterizer.h"
#include "world/numeric.h"

double view_matrix[3][4];

void transform_point(const double* world, double* camera)
{
    for (int row = 0; row < 3; row++) {
        const double* m = view_matrix[row];
        camera[row] = world[0] * m[0] + world[1] * m[1] + world[2] * m[2] + m[3];
    }
}

void project_point(double x, double y, double z, double* sx, double* sy)
{
    // 200 * x is formed before the division; at z = -200 (the eye plane) the result is
    // infinite or not a number, which the callers' tests and conversions absorb.
    *sx = (projection_distance * x) / (projection_distance + z) + screen_centre_x;
    *sy = screen_centre_y - (projection_distance * y) / (projection_distance + z);
}

void draw_polygon(const uint8_t* rgb, double light0, double light1, double light2, double light3)
{
    double camera[4][3];
    for (int i = 0; i < 4; i++) {
        transform_point(quad_vertices[i], camera[i]);
        // Written so that a z that is not a number is rejected too.
        if (!(camera[i][2] < near_limit)) return;
    }
    double sx[4];
    double sy[4];
    double depth[4];
    for (int i = 0; i < 4; i++) {
        double x = depth_scale * camera[i][0];
        double y = depth_scale * camera[i][1];
        depth[i] = depth_scale * camera[i][2];
        project_point(x, y, depth[i], &sx[i], &sy[i]);
    }
    bool on_screen = false;
    for (int i = 0; i < 4 && !on_screen; i++) {
        on_screen = sx[i] >= 0.0 && sx[i] < SCREEN_WIDTH && sy[i] >= 0.0 && sy[i] < SCREEN_HEIGHT;
    }
    if (!on_screen) return;
    // Corners near the eye plane project far outside any 32-bit range: clamped.
    int32_t corners[12];
    for (int i = 0; i < 4; i++) {
        corners[3 * i] = clamp_to_int32(sx[i]);
        corners[3 * i + 1] = clamp_to_int32(sy[i]);
        corners[3 * i + 2] = clamp_to_int32(depth[i]);
    }
    const double lights[4] = {light0, light1, light2, light3};
    fill_polygon(corners, rgb, lights);
}
