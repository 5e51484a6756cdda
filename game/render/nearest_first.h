// The faces and discs a drawing thread draws, at once or kept and drawn nearest first.
#pragma once

#include <cstdint>

// Fills a face (corners as x, y, z triples, see fill_face_rows) or draws a disc (see
// draw_disc) on the calling drawing thread's rows: all rows outside run_on_draw_threads.
void fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights);
void draw_disc_on_rows(int32_t cx, int32_t cy, double depth, int32_t radius);

// Between these two calls on a drawing thread, the faces and discs given to the two calls
// above are kept; the second draws them nearest first (see order_nearest_first), every
// pixel as drawing them in the order given would leave it. The depth buffer must hold
// clear_depth on the thread's rows when the first is called.
void start_nearest_first();
void finish_nearest_first();
