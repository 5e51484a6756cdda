// Face emission shared by the cell geometry and the entity shapes: the four vertices of
// the face being drawn, the scene's point light and the per-vertex lighting.
#pragma once

#include <cstdint>

// The four world-space vertices of the face being drawn, one set per drawing thread.
extern thread_local double quad_vertices[4][3];
// The scene's one point light: x and y of entity slot 0, z 0.5.
extern double light_point[3];

// Light of a vertex: 1 within one unit of light_point, 1 / d^2 beyond.
double vertex_light(double x, double y, double z);
// Lights the four vertices in quad_vertices and draws them in the given colour.
void emit_face(const uint8_t* rgb);

// When set, called by emit_face with each face's colour and its four light values
// (quad_vertices holds the face) before it is drawn, on the first drawing thread only:
// for tests and tools.
extern void (*face_observer)(const uint8_t* rgb, const double* lights);
