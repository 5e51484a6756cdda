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

for tool in Xvfb xdotool xwininfo; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (apt-get install xvfb x11-utils xfonts-base xdotool)"
    exit 77
  fi
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

cp "$level_dir"/level1.lvx "$work"/ || { echo "FAIL: no level1.lvx in $level_dir"; exit 1; }

for display in $(seq 121 150); do
  [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] || break
done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 100); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool getmouselocation >/dev/null 2>&1 || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

find_window() {
  xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" 'index($0, name) { print $1; exit }'
}

# Runs the game with the given options for about five seconds of play, then holds
# Escape; the frame log is left in $work/frames.log.
play() {
  rm -f "$work/frames.log"
  (cd "$work" && MAZE_FRAME_LOG="$work/frames.log" SDL_AUDIODRIVER=dummy exec "$maze" --solid "$@" \
     >"$work/maze.log" 2>&1) &
  maze_pid=$!
  local box= game=
  for _ in $(seq 600); do
    box=$(find_window "hold 'yer hourses!")
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || { echo "FAIL: no start box"; cat "$work/maze.log"; exit 1; }
  sleep 0.3
  for attempt in $(seq 900); do
    game=$(find_window Drovemaze)
    [ -n "$game" ] && break
    if [ $((attempt % 10)) -eq 1 ] && [ -n "$(find_window "hold 'yer hourses!")" ]; then
      xdotool windowfocus "$box" 2>/dev/null
      xdotool key Return
    fi
    sleep 0.1
  done
  [ -n "$game" ] || { echo "FAIL: the game window did not open"; cat "$work/maze.log"; exit 1; }
  xdotool windowfocus "$game" 2>/dev/null
  # Five seconds of play counted from the first flip: a loaded machine may take a
  # while to get from the window to the first frame.
  for _ in $(seq 600); do
    [ -s "$work/frames.log" ] && break
    sleep 0.1
  done
  sleep 5
  xdotool keydown Escape
  sleep 0.5
  xdotool keyup Escape
  for _ in $(seq 200); do
    kill -0 "$maze_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$maze_pid" 2>/dev/null; then echo "FAIL: the game did not end after Escape"; exit 1; fi
  wait "$maze_pid"
  local status=$?
  maze_pid=
  [ "$status" -eq 0 ] || { echo "FAIL: exit status $status"; cat "$work/maze.log"; exit 1; }
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
