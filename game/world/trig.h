// Sine and cosine tables over one full turn, shared by the simulation and the renderer.
#pragma once

#include <cstdint>

constexpr int TRIG_TABLE_SIZE = 1024;

extern double sin_table[TRIG_TABLE_SIZE];  // entry i: sin(2 pi i / 1024)
extern double cos_table[TRIG_TABLE_SIZE];

void build_trig_tables();

// Table index of an angle in radians: angle * 1024 / (2 pi) truncated toward zero,
// low 10 bits, so negative angles wrap into 0..1023.
int angle_index(double angle);
