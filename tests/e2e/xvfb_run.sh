#!/bin/bash
# Plays the real game under a virtual X display: dismisses the start box, moves the
# mouse, switches to solid drawing, takes a screenshot, holds Escape and expects the
# game to end with status 0. With --server-gone it instead ends the X server under the
# running game and expects the game to end too, not to hang.
#   xvfb_run.sh MAZE LEVEL_DIR [SCREENSHOT | --server-gone]
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick's import is missing.
set -u
here=$(dirname "$(realpath "$0")")
source "$here/xvfb_lib.sh"
maze=$(realpath "$1")
level_dir=$(realpath "$2")
screenshot=${3:-}

xvfb_require_tools
xvfb_start 1024x768
game_start "$maze" "$level_dir"
game_wait_window

if [ "$screenshot" = "--server-gone" ]; then
  xvfb_stop
  if ! game_wait_end 10; then echo "FAIL: the game went on after its X server went away"; exit 1; fi
  echo "PASS: the game ended when its X server went away"
  exit 0
fi
hold_key F4   # solid drawing
for step in $(seq 20); do
  xdotool mousemove_relative -- 6 -4
  wait_flips 1
done
wait_flips 3
import -window root "$work/screen.png" || { echo "FAIL: no screenshot"; exit 1; }
[ -n "$screenshot" ] && cp "$work/screen.png" "$screenshot"

# The picture shows the maze, not a black or single-coloured screen.
colours=$(convert "$work/screen.png" -format '%k' info: 2>/dev/null || echo 0)
echo "screenshot colours: $colours"
if [ "${colours:-0}" -lt 4 ]; then echo "FAIL: the screen shows no maze"; exit 1; fi

# Hold Escape: the farewell shows for three seconds, then the game ends.
xdotool keydown Escape
wait_flips 3
import -window root "$work/farewell.png"
[ -n "$screenshot" ] && cp "$work/farewell.png" "${screenshot%.png}_farewell.png"
if ! game_wait_end 20; then echo "FAIL: the game did not end after Escape"; exit 1; fi
if [ "$maze_status" -ne 0 ]; then echo "FAIL: exit status $maze_status"; cat "$work/maze.log"; exit 1; fi
echo "PASS: played, screenshot taken, ended by Escape with status 0"
