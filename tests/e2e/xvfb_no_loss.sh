#!/bin/bash
# What a window taken away must not cost: a replay whose viewer window is killed goes on
# without it and writes its whole trace (exit 0, the same trace as without a window);
# the game ended by SIGTERM while its start box is up leaves no process behind.
#   xvfb_no_loss.sh MAZE MAZEREPLAY BUILD_DIR SCRIPT
set -u
here=$(dirname "$0")
. "$here/xvfb_lib.sh"
xvfb_require_tools pgrep
maze=$(realpath "$1") replay=$(realpath "$2") build=$3 script=$(realpath "$4")
xvfb_start 800x600

# Waits up to $2 tenths of a second for command $1 to fail.
wait_gone() {
  for _ in $(seq "$2"); do eval "$1" || return 0; sleep 0.1; done
  return 1
}

# The start box, then SIGTERM: the box's own process (SDL's child) goes with the game.
game_start "$maze" "$build" --window
for _ in $(seq 600); do [ -n "$(find_window "hold 'yer hourses!")" ] && break; sleep 0.1; done
[ -n "$(find_window "hold 'yer hourses!")" ] || { echo "FAIL: no start box"; cat "$work/maze.log"; exit 1; }
children=$(pgrep -P "$maze_pid")
kill -TERM "$maze_pid"
game_wait_end 30 || { echo "FAIL: the game did not end at SIGTERM"; exit 1; }
if ! wait_gone "[ -n \"\$(find_window \"hold 'yer hourses!\")\" ]" 100; then
  echo "FAIL: the start box outlived the game (its process: ${children:-none found})"
  exit 1
fi
for child in $children; do
  wait_gone "kill -0 $child 2>/dev/null" 100 || { echo "FAIL: process $child outlived the game"; exit 1; }
done

# The viewer's X connection killed mid-run: the trace is whole, as without a window.
cd "$work" || exit 1
"$replay" "$script" --trace plain.jsonl >/dev/null 2>&1 || { echo "FAIL: the plain replay failed"; exit 1; }
"$replay" "$script" --window --trace windowed.jsonl >replay.log 2>&1 &
replay_pid=$!
viewer=
for _ in $(seq 600); do viewer=$(find_window "Drovemaze replay"); [ -n "$viewer" ] && break; sleep 0.1; done
[ -n "$viewer" ] || { echo "FAIL: no viewer window"; cat replay.log; exit 1; }
# Killed once some frames are shown (their trace lines written, at least once a second).
for _ in $(seq 600); do [ -s windowed.jsonl ] && break; sleep 0.1; done
xdotool windowkill "$viewer"
wait_gone "kill -0 $replay_pid 2>/dev/null" 1200 || { echo "FAIL: the replay did not end"; exit 1; }
wait "$replay_pid"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the replay ended with $status"; cat replay.log; exit 1; }
cmp -s plain.jsonl windowed.jsonl || { echo "FAIL: the trace differs from the windowless one"; exit 1; }
grep -q "the window is gone" replay.log || { echo "FAIL: the window's loss was not said"; cat replay.log; exit 1; }
echo "PASS: no process outlives the game at its start box; a killed viewer costs no trace line"
