#!/bin/sh
# The timedemo natively and in WebAssembly in one run, rounds alternating so that both see
# the same machine: the mean render_scene of each and the ratio of WebAssembly to native.
#   scripts/web-timedemo.sh [SCRIPT] [ROUNDS]     (default: levels/all.script, 3 rounds)
# Needs the release build and the web-threads build (cmake --preset X && cmake --build
# --preset X). Node runs with --no-liftoff: WebAssembly is compiled optimized before the
# first frame, where V8 would otherwise start on its baseline compiler and tier up
# during the run (a browser does the same, but a timedemo of 1,760 frames is too short
# for that start to fade out). MAZE_DRAW_THREADS and MAZE_WIDE_VECTORS reach both.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
script=$(realpath "${1:-$top/levels/all.script}")
rounds=${2:-3}
for dir in release web-threads; do
  [ -d "$top/build/$dir" ] || { echo "web-timedemo: build/$dir is missing" >&2; exit 2; }
done

# The mean render_scene of one timedemo, in milliseconds.
mean_render() { awk '$1 == "render_scene" { print $3 }'; }

results=
for round in $(seq "$rounds"); do
  native=$(cd "$top/build/release" && ./mazereplay "$script" --benchmark | mean_render)
  web=$(cd "$top/build/web-threads" && node --no-experimental-fetch --no-liftoff mazereplay.js "$script" --benchmark |
        mean_render)
  echo "round $round: native $native ms, WebAssembly $web ms"
  results="$results $native $web"
done
echo "$results" | awk '{ for (i = 1; i < NF; i += 2) { n += $i; w += $(i + 1) }
  printf "mean render over %d rounds: native %.4f ms, WebAssembly %.4f ms, ratio %.2f\n", NF / 2, n / (NF / 2), w / (NF / 2), w / n }'
