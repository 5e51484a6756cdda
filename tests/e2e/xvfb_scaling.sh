#!/bin/bash
# The frame at sizes that are not whole multiples of 640 x 480 is smoothed from an even
# whole-multiple enlargement (so it holds more colours than the palette's), at whole
# multiples its pixels are repeated alone (even blocks, palette colours only), and
# Alt+Enter makes a window of the largest whole multiple that fits the desktop.
#   xvfb_scaling.sh MAZE LEVEL_DIR
set -u
here=$(dirname "$(realpath "$0")")
source "$here/xvfb_lib.sh"
xvfb_require_tools compare
# 2560 x 1600: full screen the 4:3 area is 2133 x 1600 (x 3.33); the window is 3x.
xvfb_start 2560x1600
game_start "$(realpath "$1")" "$(realpath "$2")"
game_wait_window
hold_key F4   # solid drawing: dithered faces everywhere
wait_flips 3

import -window root "$work/full.png" || { echo "FAIL: no screenshot"; exit 1; }
bars=$(convert "$work/full.png" -crop 213x1600+0+0 +repage -format '%k' info:)
[ "$bars" -eq 1 ] || { echo "FAIL: the bar left of the picture has $bars colours"; exit 1; }
colours=$(convert "$work/full.png" -crop 2133x1600+213+0 +repage -format '%k' info:)
echo "full screen: $colours colours in the picture"
# Repeated pixels alone could show no more than the 256 palette entries.
[ "$colours" -gt 256 ] || { echo "FAIL: the full-screen picture is not smoothed ($colours colours)"; exit 1; }

window_size() {
  game=$(find_window Drovemaze)
  xwininfo -id "$game" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}
xdotool key alt+Return
wait_for '[ "$(window_size)" = 1920x1440 ]' 30
size=$(window_size)
wait_flips 3
[ "$size" = 1920x1440 ] || { echo "FAIL: Alt+Enter made a ${size} window, not 1920x1440"; exit 1; }
import -window "$game" "$work/window.png" || { echo "FAIL: no window screenshot"; exit 1; }
colours=$(convert "$work/window.png" -format '%k' info:)
convert "$work/window.png" -sample 640x480 -sample 1920x1440 "$work/blocks.png"
differing=$(compare -metric AE "$work/window.png" "$work/blocks.png" null: 2>&1)
echo "window: $size, $colours colours, $differing pixels off the 3 x 3 blocks"
[ "$colours" -gt 3 ] || { echo "FAIL: the window shows no maze"; exit 1; }
[ "$colours" -le 256 ] || { echo "FAIL: the whole-multiple window is smoothed ($colours colours)"; exit 1; }
[ "$differing" = 0 ] || { echo "FAIL: the window's pixels are not even 3 x 3 blocks"; exit 1; }

[ -n "${KEEP_DIR:-}" ] && cp "$work"/*.png "$KEEP_DIR"/
hold_key Escape
game_wait_end 20 || { echo "FAIL: the game did not end after Escape"; exit 1; }
[ "$maze_status" -eq 0 ] || { echo "FAIL: exit status $maze_status"; exit 1; }
echo "PASS: smoothed full screen, whole-multiple window of even blocks"
