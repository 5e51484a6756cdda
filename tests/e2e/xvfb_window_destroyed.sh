#!/bin/bash
# The game window taken away from outside ends the game as closing it does: the
# farewell, then exit 0 (not an X error and exit 1).
#   xvfb_window_destroyed.sh MAZE LEVEL_DIR destroy|kill
# destroy: another client destroys the window (XDestroyWindow, through Python's ctypes);
# kill: `xdotool windowkill`, which cuts the game's connection to the X server.
set -u
here=$(dirname "$(realpath "$0")")
source "$here/xvfb_lib.sh"
mode=$3
if [ "$mode" = destroy ]; then
  xvfb_require_tools bc python3
  python3 -c 'import ctypes; ctypes.CDLL("libX11.so.6")' 2>/dev/null || { echo "SKIP: no libX11 for Python's ctypes"; exit 77; }
else
  xvfb_require_tools bc
fi
xvfb_start 1024x768
game_start "$(realpath "$1")" "$(realpath "$2")"
game_wait_window

if [ "$mode" = destroy ]; then
  python3 - "$game" <<'PY' || { echo "FAIL: could not destroy the window"; exit 1; }
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x.XOpenDisplay(None))
x.XDestroyWindow(display, ctypes.c_ulong(int(sys.argv[1], 16)))
x.XSync(display, 0)
x.XCloseDisplay(display)
PY
else
  xdotool windowkill "$game" || { echo "FAIL: xdotool windowkill failed"; exit 1; }
fi
start=$(date +%s.%N)
if ! game_wait_end 20; then echo "FAIL: the game went on after its window was taken away"; exit 1; fi
elapsed=$(echo "$(date +%s.%N) - $start" | bc)
if [ "$maze_status" -ne 0 ]; then echo "FAIL: exit status $maze_status"; cat "$work/maze.log"; exit 1; fi
# The farewell holds for 3 s before the end, as after a close.
if [ "$(echo "$elapsed < 2.5" | bc)" -eq 1 ]; then echo "FAIL: ended after ${elapsed}s, without the farewell"; exit 1; fi
echo "PASS: window taken away ($mode), the game ended ${elapsed}s later with status 0"
