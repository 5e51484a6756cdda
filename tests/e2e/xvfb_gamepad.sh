#!/bin/bash
# A gamepad drives the real game under a virtual X display: SDL's virtual joystick, set
# at each of the game's keyboard reads from a file (MAZE_TEST_GAMEPAD), pushes the ball,
# turns the camera, moves it with the triggers, switches the drawing with Back, pauses
# with Start and plays on with A. The recording holds the reads expected of each, and
# replays to the very same trace.
#   xvfb_gamepad.sh BUILD_DIR
# Exits 77 (skipped) when a tool xvfb_lib.sh needs is missing.
set -u
build=$(realpath "$1")
. "$(dirname "$0")/xvfb_lib.sh"
xvfb_require_tools
fail() {
  echo "FAIL: $*"
  [ -f "$work/maze.log" ] && sed 's/^/maze: /' "$work/maze.log" | tail -20
  exit 1
}

xvfb_start 800x600
export MAZE_TEST_GAMEPAD="$work/pad.txt"
game_start "$build/maze" "$build" --trace live.jsonl --record run.script
game_wait_window
trace="$work/live.jsonl"
last_frame() { grep '"frame"' "$trace" 2>/dev/null | tail -n 1; }
wait_for() {
  for _ in $(seq 400); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}
playing_now() { last_frame | grep -q '"frame"' && ! last_frame | grep -q '"PAUSED"'; }
wait_for playing_now || { xdotool click 1; wait_for playing_now || fail "the game does not play"; }

# READ LX LY RX RY LT RT BUTTONS, reads counted from the first that finds the file.
cat >"$work/pad.new" <<'PAD'
0 32767 0 0 0 0 0 -
4 0 0 32767 -32768 0 0 -
8 0 0 0 0 0 32767 -
12 0 0 0 0 32767 0 -
16 16384 0 0 0 0 0 -
20 0 0 0 0 0 0 back
21 0 0 0 0 0 0 -
24 0 0 0 0 0 0 start
25 0 0 0 0 0 0 -
28 32767 0 0 0 0 0 -
30 0 0 0 0 0 0 a
31 0 0 0 0 0 0 -
34 0 0 0 0 0 0 a
35 0 0 0 0 0 0 -
36 0 0 0 0 0 0 back
37 0 0 0 0 0 0 -
PAD
mv "$work/pad.new" "$work/pad.txt"
# Back twice: the drawing switched on and off again, then the run can end.
switched_back() { grep -o '"debug_flags":[0-9]*' "$trace" | uniq | tr '\n' ' ' | grep -q '"debug_flags":0 "debug_flags":4096 "debug_flags":0'; }
wait_for switched_back || fail "Back did not switch the drawing twice"
xdotool key --delay 20 Escape
game_wait_end 20 || fail "the game did not end after Escape"
[ "$maze_status" -eq 0 ] || fail "exit status $maze_status"

# The reads from the first the pad gave (the left stick pushing), field by field:
# DX DY BUTTONS KEYS.
expected="20 0 - -
20 0 - -
20 0 - -
20 0 - -
20 -20 R -
20 -20 R -
20 -20 R -
20 -20 R -
0 20 L -
0 20 L -
0 20 L -
0 20 L -
0 -20 L -
0 -20 L -
0 -20 L -
0 -20 L -
7 0 - -
8 0 - -
7 0 - -
8 0 - -
0 0 - 3E
0 0 - -
0 0 - -
0 0 - -
0 0 - 19
0 0 - -
0 0 - -
0 0 - -
0 0 - -
0 0 - -
0 0 - 19
0 0 - -
0 0 - -
0 0 - -
0 0 - -
0 0 - -
0 0 - 3E
0 0 - -"
got=$(grep '^[0-9]' "$work/run.script" | awk '{ print $2, $3, $4, $5 }' |
  awk '!started && $0 == "20 0 - -" { started = 1 } started' | head -n 38)
if [ "$got" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$got") | head -20
  fail "the gamepad's reads differ from those expected"
fi
echo "the gamepad's 38 reads as expected"
grep -q '"PAUSED"' "$trace" || fail "Start did not pause"

(cd "$work" && "$build/mazereplay" run.script --trace replay.jsonl 2>"$work/replay.log") ||
  fail "mazereplay: $(cat "$work/replay.log")"
cmp -s "$trace" "$work/replay.jsonl" || fail "the replay's trace differs from the live one"
echo "PASS: the recording replays to the identical trace ($(grep -c '"frame"' "$trace") frames)"
