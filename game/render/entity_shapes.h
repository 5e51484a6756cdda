// What each entity looks like: balls as discs, wanderers and the bouncing block as boxes.
#pragma once

#include <cstdint>

#include "world/rules.h"

constexpr double ball_radius = BALL_RADIUS;
constexpr double wanderer_half_edge = BALL_RADIUS;
constexpr double block_half_edge = BLOCK_HALF_SIZE;
extern const uint8_t wanderer_color[3];  // 140, 255, 200
extern const uint8_t block_color[3];     // 185, 140, 255

// Draws entity slots 0 .. entity_count - 1 in order, wherever they are.
void draw_entities();
// Emits the six faces of the axis-aligned box of half-edge h centred on (x, y, z).
void draw_box(double x, double y, double z, double h, const uint8_t* rgb);
