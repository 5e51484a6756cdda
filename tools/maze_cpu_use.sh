#!/bin/bash
# Measures the CPU use of the real game under a virtual X display: the game plays
# level 1 in solid drawing with the given options (none: the default pace), and its
# user and system time is read from /proc over 5 s of play. A benchmark, not a test:
# it prints the figure and judges nothing.
#   tools/maze_cpu_use.sh MAZE LEVEL_DIR [MAZE_OPTIONS...]
# Example: tools/maze_cpu_use.sh build/release/maze build/release --fps 0
# MAZE_SCREEN=WxH sets the virtual screen (default 1024x768).
set -u
here=$(dirname "$(realpath "$0")")
source "$here/../tests/e2e/xvfb_lib.sh"
maze=$(realpath "$1")
level_dir=$(realpath "$2")
shift 2

xvfb_require_tools
xvfb_start "${MAZE_SCREEN:-1024x768}"
game_start "$maze" "$level_dir" --solid "$@"
game_wait_window
sleep 1

# Fields 14 and 15 of /proc/PID/stat: user and system time of all the game's threads,
# in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$maze_pid/stat"; }
hertz=$(getconf CLK_TCK)
before=$(cpu_ticks)
start=$(date +%s.%N)
sleep 5
after=$(cpu_ticks)
end=$(date +%s.%N)
awk -v t="$((after - before))" -v hz="$hertz" -v s="$start" -v e="$end" -v opts="$*" \
  'BEGIN { printf "maze --solid %s: %.1f%% of one core over %.1f s\n", opts, 100 * t / hz / (e - s), e - s }'

hold_key Escape 0.5
game_wait_end 10
