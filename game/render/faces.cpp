#include "render/faces.h"

#include "render/draw_threads.h"
#include "render/projection.h"

thread_local double quad_vertices[4][3];
double light_point[3];
void (*face_observer)(const uint8_t* rgb, const double* lights) = nullptr;

double vertex_light(double x, double y, double z)
{
    double dx = x - light_point[0];
    double dy = y - light_point[1];
    double dz = z - light_point[2];
    double d2 = dx * dx + dy * dy + dz * dz;
    // Full light within one unit, inverse square beyond: never above 1, never 0.
    return d2 > 1.0 ? 1.0 / d2 : 1.0;
}

void emit_face(const uint8_t* rgb)
{
    double lights[4];
    for (int i = 0; i < 4; i++) {
        lights[i] = vertex_light(quad_vertices[i][0], quad_vertices[i][1], quad_vertices[i][2]);
    }
    if (face_observer && first_draw_thread()) face_observer(rgb, lights);
    draw_polygon(rgb, lights[0], lights[1], lights[2], lights[3]);
}
