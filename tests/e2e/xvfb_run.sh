#!/bin/bash
# Plays the real game under a virtual X display: dismisses the start box, moves the
# mouse, switches to solid drawing, takes a screenshot, holds Escape and expects the
# game to end with status 0. With --server-gone it instead ends the X server under the
# running game and expects the game to end too, not to hang.
#   xvfb_run.sh MAZE LEVEL_DIR [SCREENSHOT | --server-gone]
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick's import is missing.
set -u
maze=$(realpath "$1")
level_dir=$(realpath "$2")
screenshot=${3:-}

for tool in Xvfb xdotool xwininfo import convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (apt-get install xvfb x11-utils xfonts-base xdotool imagemagick)"
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

cp "$level_dir"/level[1-4].lvx "$work"/ || { echo "FAIL: no level files in $level_dir"; exit 1; }

# A display number of our own.
for display in $(seq 91 120); do
  [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] || break
done
# -noreset: a server that resets when its last client leaves refuses connections for a
# moment, and the game holds none while its start box (a separate process) is up.
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 100); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool getmouselocation >/dev/null 2>&1 || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

# Under AddressSanitizer, leak reports here come from the X11 and driver libraries that
# SDL loads and unloads at run time; the game's own memory is fixed tables, and its leak
# checks run in the scripted end-to-end tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
(cd "$work" && SDL_AUDIODRIVER=dummy exec "$maze" >"$work/maze.log" 2>&1) &
maze_pid=$!

# SDL names its windows in UTF-8 only, which xdotool's search does not read: find them
# in the window tree instead.
find_window() {
  xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" 'index($0, name) { print $1; exit }'
}

# The start box: wait for it, then press Return in it, again each second while it stays
# (a key sent before the box is ready to take it is lost). A loaded machine can be slow
# to show either window, so the waits are generous.
box=
for _ in $(seq 600); do
  box=$(find_window "hold 'yer hourses!")
  [ -n "$box" ] && break
  sleep 0.1
done
if [ -z "$box" ]; then echo "FAIL: no start box"; cat "$work/maze.log"; exit 1; fi
sleep 0.3
game=
for attempt in $(seq 900); do
  game=$(find_window Drovemaze)
  [ -n "$game" ] && break
  # A start-up failure shows its box and waits: no need to wait out the whole minute.
  if [ -n "$(find_window "Fatal Error")" ]; then
    echo "FAIL: the game reported a fatal error"
    cat "$work/maze.log"
    exit 1
  fi
  if [ $((attempt % 10)) -eq 1 ] && [ -n "$(find_window "hold 'yer hourses!")" ]; then
    xdotool windowfocus "$box" 2>/dev/null
    xdotool key Return
  fi
  sleep 0.1
done
if [ -z "$game" ]; then
  echo "FAIL: the game window did not open"
  cat "$work/maze.log"
  xwininfo -root -tree 2>&1 | head -30
  exit 1
fi
xdotool windowfocus "$game" 2>/dev/null
sleep 1
if [ "$screenshot" = "--server-gone" ]; then
  kill "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
  for _ in $(seq 100); do
    kill -0 "$maze_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$maze_pid" 2>/dev/null; then echo "FAIL: the game went on after its X server went away"; exit 1; fi
  maze_pid=
  echo "PASS: the game ended when its X server went away"
  exit 0
fi
# Held long enough to be seen by a frame's read: a tap between two reads does nothing.
xdotool keydown F4
sleep 0.3
xdotool keyup F4
for step in $(seq 20); do
  xdotool mousemove_relative -- 6 -4
  sleep 0.05
done
sleep 0.5
import -window root "$work/screen.png" || { echo "FAIL: no screenshot"; exit 1; }
[ -n "$screenshot" ] && cp "$work/screen.png" "$screenshot"

# The picture shows the maze, not a black or single-coloured screen.
colours=$(convert "$work/screen.png" -format '%k' info: 2>/dev/null || echo 0)
echo "screenshot colours: $colours"
if [ "${colours:-0}" -lt 4 ]; then echo "FAIL: the screen shows no maze"; exit 1; fi

# Hold Escape: the farewell shows for three seconds, then the game ends.
xdotool keydown Escape
sleep 0.5
xdotool keyup Escape
sleep 0.5
import -window root "$work/farewell.png"
[ -n "$screenshot" ] && cp "$work/farewell.png" "${screenshot%.png}_farewell.png"
for _ in $(seq 200); do
  kill -0 "$maze_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$maze_pid" 2>/dev/null; then echo "FAIL: the game did not end after Escape"; exit 1; fi
wait "$maze_pid"
status=$?
maze_pid=
if [ "$status" -ne 0 ]; then echo "FAIL: exit status $status"; cat "$work/maze.log"; exit 1; fi
echo "PASS: played, screenshot taken, ended by Escape with status 0"
