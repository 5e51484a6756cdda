#!/bin/bash
# The real game under a virtual X display loses nothing the player does, as its own
# trace and recording show: 20 taps of F4 of about 10 ms each all switch the drawing, a
# 600-count mouse move in one event reaches the game as six reads of 100, and while
# paused the pointer is free for another client to grab (and not while playing). Paused,
# screenshots at each brightness F11 gives grow brighter while the frames stay the same.
# As a window (run with --window) it asks the window manager for a minimum size of
# 320 x 240.
#   xvfb_input.sh MAZE LEVEL_DIR GRAB_PROBE [MAZE OPTION...]
# Exits 77 (skipped) when a tool xvfb_lib.sh needs is missing.
set -u
maze=$(realpath "$1")
level_dir=$(realpath "$2")
grab_probe=$(realpath "$3")
shift 3
. "$(dirname "$0")/xvfb_lib.sh"
xvfb_require_tools xprop
fail() {
  echo "FAIL: $*"
  [ -f "$work/maze.log" ] && sed 's/^/maze: /' "$work/maze.log" | tail -20
  exit 1
}

xvfb_start 1024x768
game_start "$maze" "$level_dir" --solid "$@" --trace live.jsonl --record run.script
game_wait_window
trace="$work/live.jsonl"
last_flags() { grep -o '"debug_flags":[0-9]*' "$trace" 2>/dev/null | tail -n 1 | cut -d: -f2; }
last_frame() { grep '"frame"' "$trace" 2>/dev/null | tail -n 1; }
# Waits (at most 20 s) until the command succeeds: the game says so in its trace or files.
wait_for() {
  for _ in $(seq 400); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}
flags_are() { [ "$(last_flags)" = "$1" ]; }
paused_now() { last_frame | grep -q '"PAUSED"'; }
playing_now() { last_frame | grep -q '"frame"' && ! paused_now; }

# The window cannot be made smaller than 320 x 240 (the overlay's lines would break up).
game=$(find_window Drovemaze)
if [[ " $* " == *" --window "* ]]; then
  xprop -id "$game" WM_NORMAL_HINTS | grep -q 'minimum size: 320 by 240' ||
    fail "no minimum window size of 320 x 240: $(xprop -id "$game" WM_NORMAL_HINTS | tr '\n\t' '  ')"
fi

# Play on, should the window have come up without the focus (the game then pauses).
wait_for playing_now || { xdotool click 1; wait_for playing_now || fail "the game does not play"; }

# Taps: each short press must switch solid drawing; the next waits until it has.
flags=$(last_flags)
for tap in $(seq 20); do
  xdotool key --delay 20 F4  # down, 10 ms, up
  flags=$((flags ^ 4096))
  wait_for flags_are "$flags" || fail "tap $tap of F4 was lost (flags $(last_flags))"
done
switches=$(grep -o '"debug_flags":[0-9]*' "$trace" | uniq | wc -l)
[ "$switches" -eq 21 ] || fail "20 taps gave $((switches - 1)) switches"
echo "20 taps of F4: 20 switches"

# A flick: one event of 600 counts, handed out as six reads of 100.
reads_of_100() { grep -c '^[0-9]* 100 0 - ' "$work/run.script" 2>/dev/null; }
flick_read() { [ "$(reads_of_100)" -ge 6 ]; }
frames() { grep -c '"frame"' "$trace"; }
frames_past() { [ "$(frames)" -ge "$1" ]; }
xdotool mousemove_relative -- 600 0
wait_for flick_read || fail "the flick did not arrive: $(reads_of_100) reads of 100"
# ... and nothing more once it has been handed out (the recording lags the game).
wait_for frames_past $(($(frames) + 10))
motion=$(grep '^[0-9]' "$work/run.script" | awk '$2 != 0 || $3 != 0 { print $2, $3 }' | sort | uniq -c | awk '{ print $1 "x" $2 "," $3 }')
[ "$motion" = "6x100,0" ] || fail "the flick read as: $motion"
echo "a 600-count flick: six reads of 100"

# The pointer: the game's while it plays, free for others while paused.
"$grab_probe" >/dev/null && fail "another client could grab the pointer during play"
xdotool key --delay 20 p
wait_for paused_now || fail "P did not pause"
wait_for "$grab_probe" >/dev/null || fail "the pointer stayed grabbed while paused"
echo "paused: the pointer is free"

# Brightness, paused: a screenshot at each level; the frames themselves never change.
flags=$(last_flags)
for level in 0 1 2 3 4; do
  [ "$level" = 0 ] || {
    xdotool key --delay 20 F11
    flags=$((flags ^ 32))
    wait_for flags_are "$flags" || fail "F11 to level $level was lost"
  }
  xdotool key --delay 20 Print
  wait_for test -s "$work/maze_000$level.png" || fail "no screenshot at brightness $level"
done
means=""
for level in 0 1 2 3 4; do
  means="$means $(convert "$work/maze_000$level.png" -format '%[fx:mean]' info:)"
done
echo "mean brightness by level:$means"
echo "$means" | awk '{ for (i = 2; i <= NF; i++) if (!($i > $(i - 1))) exit 1; exit !($NF >= 2 * $1) }' ||
  fail "brightness does not rise level by level to at least twice the first"
crcs=$(grep '"PAUSED"' "$trace" | grep -o '"frame_crc32":"[0-9a-f]*"' | sort -u | wc -l)
[ "$crcs" -eq 1 ] || fail "the paused frames changed ($crcs different CRCs)"

xdotool key --delay 20 Escape
game_wait_end 20 || fail "the game did not end after Escape"
[ "$maze_status" -eq 0 ] || fail "exit status $maze_status"
echo "PASS"
