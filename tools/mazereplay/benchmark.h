// The timedemo of mazereplay --benchmark: at every present of a played frame it times
// the two buffer fills alone and the fills plus render_scene again on the unchanged
// world, and times the whole frame between presents with its own work taken out.
#pragma once

#include <cstdio>

// Forgets every figure; called before the run. MAZE_DRAW_THREADS in the environment
// sets the number of drawing threads.
void benchmark_start();
// Called from the present hook with the flip's result, after any other hook work.
void benchmark_present();
// Prints frame count, mean, median, 99th percentile and slowest, whole frame and render.
void benchmark_report(std::FILE* out);
