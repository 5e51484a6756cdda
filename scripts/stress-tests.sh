#!/bin/sh
# Runs the whole CTest suite several times while busy processes keep every core loaded,
# and reports each failure with its test name: a test that depends on how busy the
# machine is shows up here rather than in CI.
#   scripts/stress-tests.sh [RUNS] [PRESET]        (default: 5 runs of the dev preset)
# BUSY sets the number of busy processes (default: one more than the cores).
set -u
runs=${1:-5}
preset=${2:-dev}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top" || exit 2
busy=${BUSY:-$(( $(nproc) + 1 ))}

cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null || {
  echo "stress: the $preset build failed" >&2
  exit 2
}

pids=
stop_busy() { [ -n "$pids" ] && kill $pids 2>/dev/null; pids=; }
trap stop_busy EXIT INT TERM
for _ in $(seq "$busy"); do
  sh -c 'while :; do :; done' &
  pids="$pids $!"
done

log=$(mktemp)
failures=0
for run in $(seq "$runs"); do
  if ctest --preset "$preset" >"$log" 2>&1; then
    echo "stress: run $run of $runs passed under $busy busy processes: $(grep "tests passed" "$log")"
  else
    failed=$(sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' | sed 's/^\s*//')
    echo "stress: run $run of $runs FAILED under $busy busy processes:"
    printf '%s\n' "$failed" | sed 's/^/    /'
    failures=$((failures + $(printf '%s\n' "$failed" | grep -c .)))
  fi
done
rm -f "$log"
echo "stress: $runs runs, $failures failures"
[ "$failures" -eq 0 ]
