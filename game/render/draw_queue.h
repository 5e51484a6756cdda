// The solid faces and discs of one frame, queued and then drawn by one or two threads,
// each drawing every queued item in order on its own rows: every pixel sees the same
// writes in the same order whatever the number of threads.
#pragma once

#include <cstdint>

// The threads that draw a queued frame, 1 (the default) or 2; other values are brought
// into range. The second thread starts the first time it is needed and stays until the
// program ends. On the shared two-core machine measured, two threads halved the caller's
// work but not the time of a frame (docs/performance.md), so one is the default.
void set_draw_threads(int count);
int draw_threads();

// From here until finish_draw_queue, solid faces and discs are queued instead of drawn.
void open_draw_queue();
// Draws what was queued, in order, and returns when every thread has finished.
void finish_draw_queue();

// Fills a face (corners as x, y, z triples, see fill_polygon) or draws a disc (see
// draw_disc) now, or queues it while the queue is open.
void queue_or_fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights);
void queue_or_draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius);
