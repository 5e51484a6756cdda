#!/bin/bash
# Alt+Enter switches to a window and back to the whole screen. Sixty Alt+Enter presses
# queued at once must not hold the game up: it switches at most once per frame, on the
# latest wish (counted by the game's frame log, not by the clock). Escape held right
# after them must still be seen and end the game (farewell of 3 s, exit 0). A game that
# spent a window-system round trip on each press used to miss the Escape altogether.
#   xvfb_fullscreen_burst.sh MAZE LEVEL_DIR
set -u
here=$(dirname "$(realpath "$0")")
source "$here/xvfb_lib.sh"
xvfb_require_tools
xvfb_start 1024x768
game_start "$(realpath "$1")" "$(realpath "$2")"
game_wait_window

window_size() {
  xwininfo -id "$(find_window Drovemaze)" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}
# One press at a time first: a window of the largest whole multiple that fits (1x on a
# 1024 x 768 desktop), then the whole screen again (with no window manager here too).
xdotool key alt+Return
wait_for '[ "$(window_size)" = 640x480 ]' 30
size=$(window_size)
[ "$size" = 640x480 ] || { echo "FAIL: Alt+Enter made a $size window, not 640x480"; exit 1; }
xdotool key alt+Return
wait_for '[ "$(window_size)" = 1024x768 ]' 30
size=$(window_size)
[ "$size" = 1024x768 ] || { echo "FAIL: the second Alt+Enter left a $size window, not the full 1024x768"; exit 1; }

wait_flips 3
before=$(tail -n 1 "$frame_log")
xdotool key --delay 1 --repeat 60 alt+Return
hold_key Escape
if ! game_wait_end 60; then echo "FAIL: the game did not end after Escape after the presses"; exit 1; fi
[ "$maze_status" -eq 0 ] || { echo "FAIL: exit status $maze_status"; cat "$work/maze.log"; exit 1; }
# Switches carried out against frames shown since the presses began: at most one a frame.
read -r flips switches <<<"$(awk -v tick="${before%% *}" -v was="${before##* }" '
  $1 > tick { flips++; last = $3 } END { print flips + 0, (last == "" ? was : last) - was }' "$frame_log")"
echo "after the presses: $switches switches in $flips flips"
[ "$switches" -le "$flips" ] || { echo "FAIL: $switches switches in $flips frames"; exit 1; }
echo "PASS: 60 queued Alt+Enter presses, $switches switches in $flips frames, Escape seen, status 0"
