// The threads that draw a solid frame, one or two. With two, each walks the whole scene
// and draws every face and disc in order on its own rows (the caller the even rows, a
// helper thread the odd ones): every pixel sees the same writes in the same order
// whatever the number of threads, and nothing passes between them but start and end.
#pragma once

#include <cstdint>

// 1 or 2, or 0 for the default: two where the machine runs two threads at once, for
// frames drawn back to back only (a paced frame waits for its time anyway, and waking the
// helper for it costs more processor time than it saves). draw_threads() is the number
// frames drawn back to back get. The helper thread starts the first time it is needed
// and stays until the program ends; one that has not started by the time the caller has
// drawn its rows (another program has its processor) leaves them to the caller.
void set_draw_threads(int count);
int draw_threads();

// Calls draw on every drawing thread, each drawing its own rows, and returns when all
// have finished. draw may only read what the caller does not change meanwhile, and write
// only the frame and depth buffers (through the two calls below) and thread-local state.
void run_on_draw_threads(void (*draw)());
// Whether the calling thread is the one that called run_on_draw_threads (or any thread
// outside it): work done once per frame, such as observing faces, is done there.
bool first_draw_thread();

// Fills a face (corners as x, y, z triples, see fill_polygon) or draws a disc (see
// draw_disc) on the calling drawing thread's rows: all rows outside run_on_draw_threads.
void fill_face(const int32_t* corners, const uint8_t* rgb, const double* lights);
void draw_disc_on_rows(int32_t cx, int32_t cy, double depth, int32_t radius);

// Between these two calls on a drawing thread, the faces and discs given to the two calls
// above are kept; the second draws them nearest first (see order_nearest_first), every
// pixel as drawing them in the order given would leave it. The depth buffer must hold
// clear_depth on the thread's rows when the first is called.
void start_nearest_first();
void finish_nearest_first();
