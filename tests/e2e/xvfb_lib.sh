# Shared by the Xvfb scripts beside it (sourced, not run): a virtual X display of a
# chosen size, the game started in a scratch directory with the shipped levels, its
# start box dismissed, and everything ended again on exit.
#   xvfb_require_tools; xvfb_start WxH; game_start MAZE LEVEL_DIR; game_wait_window
# Sets: work (scratch directory), display, game (the game window's id), maze_pid.
# Nothing here waits a fixed time for the game: it waits for the game's own flips (its
# frame log, $frame_log) with a generous bound, so a busy machine only makes it slower.

xvfb_require_tools() {
  for tool in Xvfb xdotool xwininfo import convert "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed (apt-get install xvfb x11-utils xfonts-base xdotool imagemagick)"
      exit 77
    fi
  done
}

work=$(mktemp -d)
xvfb_pid=
maze_pid=
game=
xvfb_cleanup() {
  if [ -n "$maze_pid" ] && kill "$maze_pid" 2>/dev/null; then
    # SDL turns SIGTERM into a close request; a game stuck on a dead display needs more.
    for _ in $(seq 50); do kill -0 "$maze_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$maze_pid" 2>/dev/null
    wait "$maze_pid" 2>/dev/null
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap xvfb_cleanup EXIT

# Starts a server of the given screen size on a free display number of our own.
xvfb_start() {
  local size=$1
  for display in $(seq 121 160); do
    [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] || break
  done
  # -noreset: the game holds no connection while its start box (a separate process) is up.
  Xvfb :$display -screen 0 "${size}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$display
  for _ in $(seq 100); do
    xdotool getmouselocation >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1
}

xvfb_stop() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
}

# Starts the game in the scratch directory; its output goes to $work/maze.log, its frame
# log (one line per flip) to $MAZE_FRAME_LOG or $work/frames.log.
game_start() {
  local maze=$1 level_dir=$2
  shift 2
  cp "$level_dir"/level[1-4].lvx "$work"/ || { echo "FAIL: no level files in $level_dir"; exit 1; }
  # Leak reports here would come from the X11 and driver libraries SDL loads at run time.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  frame_log=${MAZE_FRAME_LOG:-$work/frames.log}
  rm -f "$frame_log"
  # Settings the game saves at its end go to the scratch directory, not the user's.
  (cd "$work" && MAZE_FRAME_LOG="$frame_log" XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy \
     exec "$maze" "$@" >"$work/maze.log" 2>&1) &
  maze_pid=$!
}

# The number of flips so far.
flips() { if [ -f "$frame_log" ]; then wc -l <"$frame_log"; else echo 0; fi; }

# Waits until the game has flipped $1 more times (up to $2 seconds, 60 by default): a
# frame whose flip came after an input event read the input after it. False when the
# game ended or the time ran out.
wait_flips() {
  local target=$(( $(flips) + $1 )) tenths=$(( ${2:-60} * 10 ))
  for _ in $(seq "$tenths"); do
    [ "$(flips)" -ge "$target" ] && return 0
    kill -0 "$maze_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Waits up to $2 seconds (60 by default) for a condition command ($1, run by eval).
wait_for() {
  local tenths=$(( ${2:-60} * 10 ))
  for _ in $(seq "$tenths"); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

# SDL names its windows in UTF-8 only, which xdotool's search does not read.
find_window() {
  xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" 'index($0, name) { print $1; exit }'
}

# Presses Return in the start box until the game window shows, then gives it the focus.
game_wait_window() {
  local box= attempt
  for _ in $(seq 600); do
    box=$(find_window "hold 'yer hourses!")
    [ -n "$box" ] && break
    sleep 0.1
  done
  if [ -z "$box" ]; then echo "FAIL: no start box"; cat "$work/maze.log"; exit 1; fi
  sleep 0.3
  for attempt in $(seq 900); do
    game=$(find_window Drovemaze)
    [ -n "$game" ] && break
    if [ -n "$(find_window "Fatal Error")" ]; then
      echo "FAIL: the game reported a fatal error"; cat "$work/maze.log"; exit 1
    fi
    if [ $((attempt % 10)) -eq 1 ] && [ -n "$(find_window "hold 'yer hourses!")" ]; then
      xdotool windowfocus "$box" 2>/dev/null
      xdotool key Return
    fi
    sleep 0.1
  done
  if [ -z "$game" ]; then echo "FAIL: the game window did not open"; cat "$work/maze.log"; exit 1; fi
  # The game is running once it flips; the first window can be replaced while the
  # renderer is chosen, so the focus is given to the window found after that.
  wait_for '[ "$(flips)" -gt 0 ]' 120 || { echo "FAIL: the game never flipped"; cat "$work/maze.log"; exit 1; }
  game_focus || { echo "FAIL: the game window does not take the focus"; exit 1; }
  wait_flips 3 || { echo "FAIL: the game stopped flipping"; cat "$work/maze.log"; exit 1; }
}

# Gives the game window the focus and waits until it has it.
game_focus() {
  game=$(find_window Drovemaze)
  [ -n "$game" ] || return 1
  xdotool windowfocus "$game" 2>/dev/null
  wait_for '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$((game))" ] || { xdotool windowfocus "$game" 2>/dev/null; false; }' 30
}

# A key held until the game has read it held, then let go until it has read it released
# (function keys act on the release).
hold_key() {
  xdotool keydown "$1"
  wait_flips 3
  xdotool keyup "$1"
  wait_flips 3
}

# Waits up to $1 seconds for the game to end; sets maze_status (empty if it did not end).
game_wait_end() {
  local tenths=$(( $1 * 10 ))
  maze_status=
  for _ in $(seq "$tenths"); do
    kill -0 "$maze_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$maze_pid" 2>/dev/null && return 1
  wait "$maze_pid"
  maze_status=$?
  maze_pid=
  return 0
}
