// Camera space to screen: the fixed perspective, and whole-face rejection.
#pragma once

#include <cstdint>

constexpr double near_limit = -1.0;          // a vertex is kept only when camera z < -1
constexpr double depth_scale = 100.0;        // camera units to projection units; depth = 100 * z
constexpr double projection_distance = 200.0;  // eye distance and focal length, scaled units
constexpr double screen_centre_x = 320.0;
constexpr double screen_centre_y = 240.0;

// World to camera: three rows (camera x, y, z) of four coefficients.
extern double view_matrix[3][4];

// World point to camera space through view_matrix (each row summed left to right).
void transform_point(const double* world, double* camera);
// Scaled camera coordinates (100 * camera x, y, z) to screen column and row.
void project_point(double x, double y, double z, double* sx, double* sy);
// Draws the face in quad_vertices, lit per vertex, unless a vertex is not in front of the
// near limit or no vertex lands on the screen.
void draw_polygon(const uint8_t* rgb, double light0, double light1, double light2, double light3);
