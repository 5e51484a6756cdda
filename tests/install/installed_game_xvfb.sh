#!/bin/bash
# The installed game under a virtual X display, started from a folder without levels,
# with a scratch HOME and XDG_CONFIG_HOME: it finds its installed levels and shows
# level 1; F4 and Alt+Enter then Escape save "solid 1" and "window 1", and the
# command line's --fps is not saved; the next start is solid from its first frame,
# sends Print Screen to the settings file's screenshot_dir, and leaves the file as it
# was (nothing changed in the game).
#   installed_game_xvfb.sh BUILD_DIR
# Exits 77 (skipped) when a tool of the virtual display is missing.
set -u
build=$(realpath "$1")
. "$(dirname "$(realpath "$0")")/../e2e/xvfb_lib.sh"
xvfb_require_tools
fail() {
  echo "FAIL: $*"
  [ -f "$work/maze.log" ] && sed 's/^/maze: /' "$work/maze.log" | tail -20
  exit 1
}
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || fail "cmake --install"
mkdir -p "$work/home" "$work/elsewhere"
config=$work/config/maze/maze.cfg

start_installed() {
  # Leak reports here would come from the X11 and driver libraries SDL loads at run time.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  frame_log=$work/frames.log
  rm -f "$frame_log"
  (cd "$work/elsewhere" && HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_DIRS=/nonexistent \
    MAZE_FRAME_LOG="$frame_log" SDL_AUDIODRIVER=dummy exec "$work/prefix/bin/maze" "$@" >"$work/maze.log" 2>&1) &
  maze_pid=$!
}

# Waits up to 60 s for a trace line matching the pattern.
wait_trace() {
  local trace=$1 pattern=$2
  for _ in $(seq 600); do
    grep -q -- "$pattern" "$trace" 2>/dev/null && return 0
    kill -0 "$maze_pid" 2>/dev/null || break
    sleep 0.1
  done
  return 1
}

# The debug flags of the first frame whose flags include solid drawing (4096), if any.
solid_frame() { grep -o '"frame":[0-9]*,[^}]*"debug_flags":[0-9]*' "$1" |
  awk -F'[:,]' '{ if (int($NF / 4096) % 2 == 1) { print $2; exit } }'; }

xvfb_start 1024x768
start_installed --fps 30 --trace run1.jsonl
game_wait_window
wait_trace "$work/elsewhere/run1.jsonl" '"level":1,.*"WELCOME TO LEVEL 1!"' || fail "level 1 not shown"
hold_key F4
xdotool key alt+Return
hold_key Escape
game_wait_end 30 || fail "the game did not end after Escape"
[ "$maze_status" -eq 0 ] || fail "exit status $maze_status"
[ -n "$(solid_frame "$work/elsewhere/run1.jsonl")" ] || fail "F4 did not switch to solid drawing"
saved=$(cat "$config" 2>/dev/null)
[ "$saved" = $'solid 1\nwindow 1' ] || fail "saved settings were: '$saved'"

printf '# mine\nscreenshot_dir shots\nunknown key kept\n' >>"$config"
cp "$config" "$work/config.before"
start_installed --trace run2.jsonl
game_wait_window
wait_trace "$work/elsewhere/run2.jsonl" '"frame":0,' || fail "no first frame"
[ "$(solid_frame "$work/elsewhere/run2.jsonl")" = 0 ] || fail "the second start was not solid from its first frame"
hold_key Print
for _ in $(seq 300); do
  [ -s "$work/elsewhere/shots/maze_0000.png" ] && break
  sleep 0.1
done
[ -s "$work/elsewhere/shots/maze_0000.png" ] || fail "no screenshot in the screenshot_dir"
hold_key Escape
game_wait_end 30 || fail "the second game did not end after Escape"
grep -qx "Print Screen: saved shots/maze_0000.png" "$work/maze.log" || fail "the screenshot was not named"
cmp -s "$config" "$work/config.before" || fail "the settings changed without a change in the game: $(cat "$config")"
echo "PASS: the installed game showed level 1, saved F4 and Alt+Enter, and used them and screenshot_dir"
