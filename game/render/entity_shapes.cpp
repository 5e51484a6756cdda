#include "render/entity_shapes.h"

#include "render/balls.h"
#include "render/faces.h"
#include "world/world.h"

const uint8_t wanderer_color[3] = {140, 255, 200};
const uint8_t block_color[3] = {185, 140, 255};

// Which side of the centre each vertex lies on, per axis: 0 is -h, 1 is +h.
static const uint8_t box_corners[6][4][3] = {
    {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1}},  // x - h
    {{1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}},  // x + h
    {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}},  // z - h, the underside
    {{0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}},  // z + h, the top
    {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}},  // y - h
    {{0, 1, 0}, {0, 1, 1}, {1, 1, 0}, {1, 1, 1}},  // y + h
};

void draw_box(double x, double y, double z, double h, const uint8_t* rgb)
{
    double xs[2] = {x - h, x + h};
    double ys[2] = {y - h, y + h};
    double zs[2] = {z - h, z + h};
    // No test of which faces look toward the camera: the depth buffer hides the far ones.
    for (int f = 0; f < 6; f++) {
        for (int i = 0; i < 4; i++) {
            quad_vertices[i][0] = xs[box_corners[f][i][0]];
            quad_vertices[i][1] = ys[box_corners[f][i][1]];
            quad_vertices[i][2] = zs[box_corners[f][i][2]];
        }
        emit_face(rgb);
    }
}

void draw_entities()
{
    int count = entity_count < ENTITY_SLOTS ? entity_count : ENTITY_SLOTS;
    for (int i = 0; i < count; i++) {
        const Entity& e = entities[i];
        if (e.type == ENTITY_BALL) draw_ball(e.x, e.y, e.z, ball_radius);
        else if (e.type == ENTITY_WANDERER) draw_box(e.x, e.y, e.z, wanderer_half_edge, wanderer_color);
        else if (e.type == ENTITY_BLOCK) draw_box(e.x, e.y, e.z, block_half_edge, block_color);
    }
}
