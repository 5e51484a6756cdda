#!/bin/bash
# The real game's pace under a virtual X display, counted from the game's own flips
# against its own tick counter (MAZE_FRAME_LOG), in solid drawing:
#   - by default never faster than 60 frames a second (at most 65 shown a second over
#     3 s), none dropped;
#   - with --fps 0 (the unpaced loop), no flip followed by a sleep for the pace.
# How near to 60 a second the paced game stays depends on how busy the machine is: the
# figure is printed, not checked (a slow machine runs as fast as it can).
#   xvfb_pace.sh MAZE LEVEL_DIR [SANITIZED]
# SANITIZED (ON, 1...): a build under AddressSanitizer; the same checks.
# Exits 77 (skipped) when Xvfb, xdotool or xwininfo is missing.
set -u
maze=$(realpath "$1")
level_dir=$(realpath "$2")

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
  # Five seconds of the game's own ticks after its first flip.
  local first
  first=$(head -n 1 "$work/frames.log" | cut -d' ' -f1)
  wait_for '[ $(( $(tail -n 1 "$work/frames.log" | cut -d" " -f1) - first )) -ge 5000 ]' 120 ||
    { echo "FAIL: the game did not run for 5 s"; exit 1; }
  hold_key Escape
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

# Flips in those 3 s after which the game slept for the pace (the frame log's fourth
# column): a paced game late by its whole frame sleeps not at all, an unpaced one never.
slept_flips() {
  awk 'NR == 1 { start = $1 + 1500 }
       $1 >= start && $1 < start + 3000 && $4 > 0 { slept++ } END { print slept + 0 }' "$work/frames.log"
}

play
read -r flips shown dropped <<<"$(count_frames)"
slept=$(slept_flips)
echo "paced: $flips flips, $shown shown, $dropped dropped in 3 s ($((shown / 3)) a second); $slept slept for the pace"
[ "$shown" -le 195 ] || { echo "FAIL: the paced game showed $shown frames in 3 s, more than 65 a second"; exit 1; }
[ "$dropped" -eq 0 ] || { echo "FAIL: the paced game dropped $dropped frames"; exit 1; }

play --fps 0
read -r flips shown dropped <<<"$(count_frames)"
slept=$(slept_flips)
echo "unpaced: $flips flips, $shown shown, $dropped dropped in 3 s; $slept slept for the pace"
[ "$flips" -gt 0 ] || { echo "FAIL: the unpaced game did not flip"; exit 1; }
[ "$slept" -eq 0 ] || { echo "FAIL: the unpaced game slept for a pace after $slept flips"; exit 1; }
echo "PASS: paced at most 60 a second, none dropped; --fps 0 never sleeps for a pace"
