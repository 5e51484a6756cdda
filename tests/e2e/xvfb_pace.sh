#!/bin/bash
# The real game's frame rate under a virtual X display, counted from the game's own
# flips against its own tick counter (MAZE_FRAME_LOG), in solid drawing:
#   - by default, 55 to 65 frames shown a second over 3 s, none dropped;
#   - with --fps 0 (the unpaced loop), far more flips than the display shows.
#   xvfb_pace.sh MAZE LEVEL_DIR [SANITIZED]
# SANITIZED (ON, 1...) is a build under AddressSanitizer, too slow to keep 60 frames a
# second on a loaded machine: there only the upper bound is checked (a slow machine
# runs as fast as it can, never faster than the pace).
# Exits 77 (skipped) when Xvfb, xdotool or xwininfo is missing.
set -u
maze=$(realpath "$1")
level_dir=$(realpath "$2")
case "${3:-}" in ON|on|1|TRUE|true|YES|yes) sanitized=1 ;; *) sanitized= ;; esac

here=$(dirname "$(realpath "$0")")
source "$here/xvfb_lib.sh"
xvfb_require_tools
xvfb_start 1024x768

# Runs the game with the given options for five seconds of play counted from its first
# flip (a loaded machine may take a while to get there), then holds Escape; the frame
# log is left in $work/frames.log.
play() {
  rm -f "$work/frames.log"
  MAZE_FRAME_LOG="$work/frames.log" game_start "$maze" "$level_dir" --solid "$@"
  game_wait_window
  for _ in $(seq 600); do
    [ -s "$work/frames.log" ] && break
    sleep 0.1
  done
  sleep 5
  hold_key Escape 0.5
  game_wait_end 20 || { echo "FAIL: the game did not end after Escape"; exit 1; }
  [ "$maze_status" -eq 0 ] || { echo "FAIL: exit status $maze_status"; cat "$work/maze.log"; exit 1; }
  [ -s "$work/frames.log" ] || { echo "FAIL: no frame log"; exit 1; }
}

# Flips and shown frames in the 3 s of game ticks that start 1.5 s after the first flip
# (the window is settled by then and Escape not yet pressed): "flips shown dropped".
count_frames() {
  awk 'NR == 1 { start = $1 + 1500 }
       $1 >= start && $1 < start + 3000 { flips++; if ($2 == 0) shown++; if ($2 == 2) dropped++ }
       END { printf "%d %d %d\n", flips, shown, dropped }' "$work/frames.log"
}

play
read -r flips shown dropped <<<"$(count_frames)"
echo "paced: $flips flips, $shown shown, $dropped dropped in 3 s"
if [ "$shown" -gt 195 ] || { [ -z "$sanitized" ] && [ "$shown" -lt 165 ]; }; then
  echo "FAIL: the paced game showed $shown frames in 3 s, not 165 to 195 (55 to 65 a second)"
  exit 1
fi
[ "$dropped" -eq 0 ] || { echo "FAIL: the paced game dropped $dropped frames"; exit 1; }

play --fps 0
read -r flips shown dropped <<<"$(count_frames)"
echo "unpaced: $flips flips, $shown shown, $dropped dropped in 3 s"
if [ -z "$sanitized" ] && [ "$flips" -lt 360 ]; then
  echo "FAIL: the unpaced game flipped only $flips times in 3 s"
  exit 1
fi
if [ -n "$sanitized" ]; then
  echo "PASS (sanitizer build: at most 65 frames a second paced, none dropped)"
else
  echo "PASS: 55 to 65 frames a second paced; --fps 0 runs unpaced"
fi
