// SDL shows a message box under X from a child process of its own. A signal that ends
// the game while a box is up (SIGTERM, SIGINT, SIGHUP at their default action) would
// leave that child, and its window, behind: while guarded, such a signal ends the
// game's child processes first, then the game as it would have.
#pragma once

void box_guard_begin();
void box_guard_end();
