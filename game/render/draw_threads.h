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
// only the frame and depth buffers (through fill_face and draw_disc_on_rows, which draw
// on the thread's rows) and thread-local state.
void run_on_draw_threads(void (*draw)());
// Whether the calling thread is the one that called run_on_draw_threads (or any thread
// outside it): work done once per frame, such as observing faces, is done there.
bool first_draw_thread();

// The rows the calling thread draws: those y with y % step == phase (all rows outside
// run_on_draw_threads).
struct DrawRows {
    int phase, step;
};
DrawRows draw_thread_rows();
