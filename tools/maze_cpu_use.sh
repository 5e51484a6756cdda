#!/bin/bash
# Measures the CPU use of the real game under a virtual X display: the game plays
# level 1 in solid drawing with the given options (none: the default pace), and its
# user and system time is read from /proc over 5 s of play. A benchmark, not a test:
# it prints the figure and judges nothing.
#   tools/maze_cpu_use.sh MAZE LEVEL_DIR [MAZE_OPTIONS...]
# Example: tools/maze_cpu_use.sh build/release/maze build/release --fps 0
# MAZE_SCREEN=WxH sets the virtual screen (default 1024x768).
set -u
maze=$(realpath "$1")
level_dir=$(realpath "$2")
shift 2

for tool in Xvfb xdotool xwininfo; do
  command -v "$tool" >/dev/null 2>&1 || { echo "needs $tool (apt-get install xvfb x11-utils xdotool)"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
maze_pid=
cleanup() {
  [ -n "$maze_pid" ] && kill "$maze_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cp "$level_dir"/level1.lvx "$work"/ || exit 1

for display in $(seq 151 180); do
  [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] || break
done
Xvfb :$display -screen 0 "${MAZE_SCREEN:-1024x768}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 100); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done

find_window() {
  xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" 'index($0, name) { print $1; exit }'
}

(cd "$work" && SDL_AUDIODRIVER=dummy exec "$maze" --solid "$@" >"$work/maze.log" 2>&1) &
maze_pid=$!
game=
for attempt in $(seq 900); do
  game=$(find_window Drovemaze)
  [ -n "$game" ] && break
  box=$(find_window "hold 'yer hourses!")
  if [ -n "$box" ] && [ $((attempt % 10)) -eq 5 ]; then
    xdotool windowfocus "$box" 2>/dev/null
    xdotool key Return
  fi
  sleep 0.1
done
[ -n "$game" ] || { echo "the game window did not open"; cat "$work/maze.log"; exit 1; }
xdotool windowfocus "$game" 2>/dev/null
sleep 2

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

xdotool keydown Escape
sleep 0.5
xdotool keyup Escape
for _ in $(seq 100); do
  kill -0 "$maze_pid" 2>/dev/null || break
  sleep 0.1
done
