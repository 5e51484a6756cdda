// The camera transform and the traversal of the squares near the ball.
#pragma once

constexpr double visit_radius = 5.0;

// Draws the whole scene for the current camera and world into frame_buffer.
void render_scene();
// Builds view_matrix (render/projection.h) from the camera variables.
void build_view_matrix();
