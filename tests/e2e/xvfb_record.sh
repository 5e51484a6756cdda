#!/bin/bash
# Plays the real game under a virtual X display while it records (--record) and traces
# (--trace) itself, then replays the recording with mazereplay and expects the very same
# trace, line for line. The play, on a small test level: the camera pitched with the
# right button and moved with the left, F4 and F8, P twice, the focus taken away and
# given back, the ball pushed into the wanderer (caught: the level restarts), then onto
# the goal (level won), then Escape in the next level.
#   xvfb_record.sh BUILD_DIR [--kill] [MAZE OPTION...]
# --kill ends the game with SIGKILL in the middle of level 1 instead, and expects the
# recording to replay the run up to its last complete line.
# MAZE OPTION... are passed to the game (--fps 0, --level 2, ...).
# Exits 77 (skipped) when a tool xvfb_lib.sh needs is missing.
set -u
build=$(realpath "$1")
shift
kill_mode=
if [ "${1:-}" = "--kill" ]; then
  kill_mode=1
  shift
fi
maze_options=("$@")
unpaced=
[[ " $* " == *" --fps 0 "* ]] && unpaced=1
. "$(dirname "$0")/xvfb_lib.sh"
xvfb_require_tools
fail() {
  echo "FAIL: $*"
  [ -f "$work/maze.log" ] && sed 's/^/maze: /' "$work/maze.log" | tail -20
  exit 1
}

# The test level: a room with the ball at (5, 4), a goal square at (5, 3) and a wanderer
# at (5, 6); levels 2 to 4 are the same.
mkdir -p "$work/src/out" "$work/levels"
cat >"$work/src/test.map" <<'EOF'
origin 2 2
fill 36 42 85
floor 109 170 213 73 128 170
color # 219 170 85
color G 0 0 255
colors
#########
#.......#
#.......#
#G......#
#.......#
#.......#
#########
end
layer0
#########
#.......#
#.......#
#.......#
#.......#
#.......#
#########
end
ball 5 4
wanderer 5 6
EOF
"$build/levelgen" "$work/src/test.map" "$work/src/out" >/dev/null || fail "levelgen"
(cd "$work/src/out" && "$build/mazec" >/dev/null) || fail "mazec"
for n in 1 2 3 4; do cp "$work/src/out/level.lvx" "$work/levels/level$n.lvx"; done
# With --level N the run starts at level N: winning it shows level N + 1. Unpaced, a
# frame lasts a millisecond or so and a push (one frame's motion) moves the ball that
# much less: push harder.
first_level=1
push=6
for ((i = 0; i < ${#maze_options[@]}; i++)); do
  [ "${maze_options[$i]}" = --level ] && first_level=${maze_options[$((i + 1))]}
  [ "${maze_options[$i]}" = --fps ] && [ "${maze_options[$((i + 1))]}" = 0 ] && push=60
done

xvfb_start 800x600
root=$(xwininfo -root | awk '/Window id:/ { print $4 }')
game_start "$build/maze" "$work/levels" "${maze_options[@]}" --record run.script --trace live.jsonl
game_wait_window
# The trace is written as the game goes (at least once a second): the test steers by it.
frames() { grep -c '"frame"' "$work/live.jsonl" 2>/dev/null || echo 0; }
seen() { grep -q "$1" "$work/live.jsonl" 2>/dev/null; }
tap() { hold_key "$1"; }
# A button held until a frame has read it: resumes a paused game, and does nothing
# else at rest.
click() {
  xdotool mousedown "$1"
  wait_flips 3
  xdotool mouseup "$1"
  wait_flips 3
}
# Waits for the trace (written at least once a second) to show a pattern.
wait_seen() { wait_for "seen '$1'" 60 || fail "the trace never showed $1"; }
# The last traced position of the ball (slot 0) or the wanderer (slot 1): "x y".
position() {
  grep '"frame"' "$work/live.jsonl" 2>/dev/null | tail -n 1 |
    sed 's/.*"entities":\[\[//; s/\]\],"frame_crc32".*//; s/\],\[/\n/g' |
    awk -F, -v slot="$1" 'NR == slot + 1 { print $2, $3 }'
}
# Pushes the ball toward a point, or the wanderer, until the trace shows the text: the
# mouse moves right for -x and down for +y. The trace lags by up to a second, so each
# push is short.
push_until() {
  local text=$1 target=$2 attempt tries=120
  [ -n "$unpaced" ] && tries=40  # luck either way, and a miss is allowed there
  for attempt in $(seq "$tries"); do
    seen "$text" && echo "\"$text\" after $attempt pushes" && return 0
    local goal=$target
    [ "$goal" = wanderer ] && goal=$(position 1)
    local move
    move=$(echo "$(position 0) $goal" | awk -v push="$push" '{
      dx = $3 - $1; dy = $4 - $2
      mx = dx > 0.15 ? -push : dx < -0.15 ? push : 0
      my = dy > 0.15 ? push : dy < -0.15 ? -push : 0
      print mx, my }')
    for _ in 1 2 3 4 5; do
      xdotool mousemove_relative -- $move
      wait_flips 1
    done
    wait_flips 8
  done
  seen "$text"
}
click 1

# The camera: pitched with the right button, moved back with the left.
xdotool mousedown 3
wait_flips 2
for _ in 1 2 3; do xdotool mousemove_relative -- 0 -8; wait_flips 2; done
xdotool mouseup 3
wait_flips 2
xdotool mousedown 1
wait_flips 2
for _ in 1 2 3; do xdotool mousemove_relative -- 0 10; wait_flips 2; done
xdotool mouseup 1
wait_flips 2
tap F4
tap F8
tap p
wait_seen '"PAUSED"'
tap p
# Away and back: the game pauses; a click resumes it.
xdotool windowfocus "$root" 2>/dev/null
wait_for '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$((root))" ]' 30 || fail "the focus did not go away"
wait_flips 5
game_focus || fail "the game window did not take the focus back"
wait_flips 3
click 1

if [ -n "$kill_mode" ]; then
  # Killed once the recording holds enough whole lines (it is written out each second).
  wait_for '[ "$(grep -c "^[0-9]" "$work/run.script" 2>/dev/null)" -ge 90 ]' 120 ||
    fail "the recording did not reach 90 frames"
  kill -9 "$maze_pid"
  wait "$maze_pid" 2>/dev/null
  maze_pid=
else
  # Unpaced, the wanderer crosses thousands of frames a second and steering into it is
  # a matter of luck; the paced run must be caught, the unpaced one goes on either way:
  # what it proves is the replay of an unpaced run.
  if ! push_until 'OOPS! TRY AGAIN, KIP!' wanderer; then
    [ -n "$unpaced" ] || fail "the wanderer did not catch the ball"
    echo "unpaced: no catch this time; on to the goal"
  fi
  if ! push_until "\"level\":$((first_level + 1))," "5.5 2.5"; then
    [ -n "$unpaced" ] || fail "the ball did not reach the goal"
    echo "unpaced: the goal not reached this time"
  fi
  tap Escape
  game_wait_end 60 || fail "the game did not end after Escape"
  status=$maze_status
  [ "$status" -eq 0 ] || fail "exit status $status"
fi

# The replay, in the same folder: the same level files.
(cd "$work" && "$build/mazereplay" run.script --trace replay.jsonl 2>"$work/replay.log") ||
  { [ -n "$kill_mode" ] || fail "mazereplay: $(cat "$work/replay.log")"; }
recorded=$(grep -c '^[0-9]' "$work/run.script")
live=$(frames)
echo "frames: $live live, $recorded recorded; $(wc -c <"$work/run.script") bytes of script"
grep -q 'fail=' "$work/run.script" || fail "no failed reads recorded while the focus was away"
grep -q '^[0-9]* [0-9-]* [0-9-]* L ' "$work/run.script" || fail "no left button in the recording"
grep -q '^[0-9]* [0-9-]* [0-9-]* R ' "$work/run.script" || fail "no right button in the recording"
grep -q '"debug_flags":4352,' "$work/live.jsonl" || fail "F4 and F8 did not both switch"
grep -q '"PAUSED"' "$work/live.jsonl" || fail "no paused frame"
[ "$first_level" = 1 ] || grep -q "^options --level $first_level" "$work/run.script" || fail "no options line"
if [ -z "$kill_mode" ]; then
  grep -q '^ticks ' "$work/run.script" || fail "no tick reads outside frames recorded"
  if ! cmp -s "$work/live.jsonl" "$work/replay.jsonl"; then
    diff <(head -c 200000 "$work/live.jsonl") <(head -c 200000 "$work/replay.jsonl") | head -5 | cut -c1-400
    fail "the replay's trace differs from the live one"
  fi
  echo "PASS: $(wc -l <"$work/live.jsonl") trace lines, the replay's identical"
  exit 0
fi

# Killed: every line of the recording is whole, and its replay follows the live run up to
# the last recorded frame (the live trace may stop a little earlier or later).
[ -z "$(tail -c 1 "$work/run.script")" ] || fail "the recording ends in a partial line"
[ -z "$(tail -c 1 "$work/live.jsonl")" ] || fail "the live trace ends in a partial line"
common=$((recorded < live ? recorded : live))
[ "$common" -ge 60 ] || fail "only $common frames recorded and traced"
grep '"frame"' "$work/live.jsonl" | head -n "$common" >"$work/live.head"
grep '"frame"' "$work/replay.jsonl" | head -n "$common" >"$work/replay.head"
cmp -s "$work/live.head" "$work/replay.head" || fail "the replay parts from the killed run"
echo "PASS: killed after $live traced frames; $common frames replayed identically"
