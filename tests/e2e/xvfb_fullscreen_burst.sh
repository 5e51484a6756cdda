#!/bin/bash
# Alt+Enter switches to a window and back to the whole screen. Sixty Alt+Enter presses
# queued at once must not hold the game up: it switches at most
# once per frame, on the latest wish. Escape held right after them must still be seen
# and end the game (farewell of 3 s, exit 0) in good time. A game that spent a window-
# system round trip on each press used to miss the Escape altogether.
#   xvfb_fullscreen_burst.sh MAZE LEVEL_DIR
set -u
here=$(dirname "$(realpath "$0")")
source "$here/xvfb_lib.sh"
xvfb_require_tools bc
xvfb_start 1024x768
game_start "$(realpath "$1")" "$(realpath "$2")"
game_wait_window

window_size() {
  xwininfo -id "$(find_window Drovemaze)" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}
# One press at a time first: a window of the largest whole multiple that fits (1x on a
# 1024 x 768 desktop), then the whole screen again (with no window manager here too).
xdotool key alt+Return
sleep 1
size=$(window_size)
[ "$size" = 640x480 ] || { echo "FAIL: Alt+Enter made a $size window, not 640x480"; exit 1; }
xdotool key alt+Return
sleep 1
size=$(window_size)
[ "$size" = 1024x768 ] || { echo "FAIL: the second Alt+Enter left a $size window, not the full 1024x768"; exit 1; }

xdotool key --delay 1 --repeat 60 alt+Return
start=$(date +%s.%N)
hold_key Escape 0.5
if ! game_wait_end 30; then echo "FAIL: the game did not end within 30 s of Escape after the presses"; exit 1; fi
elapsed=$(echo "$(date +%s.%N) - $start" | bc)
[ "$maze_status" -eq 0 ] || { echo "FAIL: exit status $maze_status"; cat "$work/maze.log"; exit 1; }
# 0.5 s held plus the 3 s farewell; sixty switches at ~80 ms would add about 5 s.
if [ "$(echo "$elapsed > 7" | bc)" -eq 1 ]; then echo "FAIL: the game ended ${elapsed}s after Escape"; exit 1; fi
echo "PASS: 60 queued Alt+Enter presses, game ended ${elapsed}s after Escape with status 0"
