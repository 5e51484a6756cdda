#!/usr/bin/env bash
# Remakes the replay scripts that prove the shipped levels playable: a winning run of each
# level on its own, a losing run of levels 3 and 4 followed by three seconds of the
# restarted level, and one run that wins all four in a row.
#
#   tools/mazepilot/make_scripts.sh BUILD_DIR [OUT_DIR]
#
# BUILD_DIR holds mazepilot and level1.lvx .. level4.lvx; the scripts go to OUT_DIR
# (default: the levels folder), laid out like it: levelN/win.script, levelN/lose.script
# and all.script.
set -euo pipefail

build=$(cd "$1" && pwd)
levels=$(cd "$(dirname "$0")/../../levels" && pwd)
out=${2:-$levels}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The routes are copied beside the level files so the scripts name them relatively.
for n in 1 2 3 4; do
  mkdir -p "$work/level$n" "$out/level$n"
  cp "$levels/level$n"/*.route "$work/level$n/"
done
cp "$levels/watch.route" "$work/"

# pilot LEVELS OUTPUT OPTIONS... ROUTES...: LEVELS are the level numbers to copy in as
# level1.lvx, level2.lvx, ... in that order.
pilot() {
  local levels_in=$1 output=$2
  shift 2
  rm -f "$work"/*.lvx
  local k=1
  for n in $levels_in; do
    cp "$build/level$n.lvx" "$work/level$k.lvx"
    k=$((k + 1))
  done
  local status=0
  (cd "$work" && "$build/mazepilot" --solid --out "$out/$output" "$@") > "$work/pilot.log" || status=$?
  grep -v '^message box' "$work/pilot.log" || true
  return "$status"
}

for n in 1 2 3 4; do
  pilot "$n" "level$n/win.script" --escape-at-end "level$n/win.route"
done
for n in 3 4; do
  pilot "$n" "level$n/lose.script" "level$n/lose.route" watch.route
done
pilot "1 2 3 4" all.script level1/win.route level2/win.route level3/win.route level4/win.route
