#!/usr/bin/env bash
# The shipped levels' text files are what levelgen makes of their maps, and their replay
# scripts are what mazepilot makes of their routes.
#   levels_sources_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for n in 1 2 3 4; do
  mkdir -p "$work/text$n"
  "$build/levelgen" "$source/levels/level$n/level.map" "$work/text$n"
  for name in layer1.txt layer2.txt colors.txt entity.txt; do
    if ! cmp -s "$work/text$n/$name" "$source/levels/level$n/$name"; then
      echo "levels/level$n/$name differs from what levelgen makes of level.map"
      status=1
    fi
  done
done

"$source/tools/mazepilot/make_scripts.sh" "$build" "$work/scripts" > "$work/pilot.log" 2>&1 || {
  cat "$work/pilot.log"
  echo "mazepilot could not remake the scripts"
  exit 1
}
for script in level1/win.script level2/win.script level3/win.script level4/win.script \
              level3/lose.script level4/lose.script all.script; do
  if ! cmp -s "$work/scripts/$script" "$source/levels/$script"; then
    echo "levels/$script differs from what mazepilot makes of its routes"
    status=1
  fi
done
[ "$status" = 0 ] && echo "levels in step with their maps and routes"
exit "$status"
