// The solid faces and discs of one frame, drawn by one or two threads. With two, the
// calling thread draws the even rows of each item as it comes and queues it for a helper
// thread, which draws the odd rows of every item in the same order: every pixel sees the
// same writes in the same order whatever the number of threads.
#pragma once

#include <cstdint>

// The threads that draw a queued frame, 1 (the default) or 2; other values are brought
// into range. The second thread starts the first time it is needed and stays until the
// program ends.
void set_draw_threads(int count);
int draw_threads();

// A frame queues at most this many faces and discs for the helper thread; the rest of a
// larger frame is drawn by the calling thread alone once the helper has caught up.
constexpr uint32_t draw_queue_capacity = 4096;

// From here until finish_draw_queue, solid faces and discs go through the queue.
void open_draw_queue();
// Returns when every thread has drawn everything queued.
void finish_draw_queue();

// Fills a face (corners as x, y, z triples, see fill_polygon) or draws a disc (see
// draw_disc): all of it now, or with two threads and the queue open, the caller's rows
// now and the helper's as it reaches them.
void queue_or_fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights);
void queue_or_draw_disc(int32_t cx, int32_t cy, double depth, int32_t radius);
