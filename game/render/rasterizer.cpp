// The rasterizer's front: solid fill or outline chosen once for every face and ball.
#include "render/rasterizer.h"

#include "render/discs.h"
#include "render/frame.h"
#include "render/lines.h"
#include "render/nearest_first.h"

void fill_polygon(const int32_t* corners, const uint8_t* rgb, const double* lights)
{
    if (debug_flags & DEBUG_SOLID) fill_face(corners, rgb, lights);
    else draw_outline(corners, rgb);
}

void draw_ball_shape(int32_t cx, int32_t cy, double depth, int32_t radius, int outline_colour)
{
    if (debug_flags & DEBUG_SOLID) draw_disc_on_rows(cx, cy, depth, radius);
    else draw_circle(cx, cy, radius, outline_colour);
}
