#!/bin/sh
# Golden traces: every shipped script (levels/all.script, levels/levelN/*.script) is
# replayed and its whole trace compared with, or written into, tests/golden/NAME.jsonl
# (NAME: "all", "level3_lose", ...). A per-level script plays its level as level 1.
#   scripts/golden.sh check BUILD_DIR [NAME ...]   exit 1 naming the first differing frame
#   scripts/golden.sh bless BUILD_DIR [NAME ...]   rewrite them after an intended change
#   scripts/golden.sh list                         the names
# MAZEREPLAY may name another replay command (another build of it); TRACE_DIFF the
# comparer (default BUILD_DIR/trace_diff).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)

names() {
  echo all
  for script in "$top"/levels/level*/*.script; do
    level=$(basename "$(dirname "$script")")
    echo "${level}_$(basename "$script" .script)"
  done
}

mode=${1:-}
[ "$mode" = list ] && { names; exit 0; }
case "$mode" in check|bless) ;; *) echo "usage: $0 check|bless BUILD_DIR [NAME ...] | list" >&2; exit 2 ;; esac
[ $# -ge 2 ] || { echo "usage: $0 $mode BUILD_DIR [NAME ...]" >&2; exit 2; }
build=$(cd "$2" && pwd)
shift 2
[ $# -gt 0 ] || set -- $(names)
replay=${MAZEREPLAY:-$build/mazereplay}
diff_tool=${TRACE_DIFF:-$build/trace_diff}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for name in "$@"; do
  rm -rf "$work/run" && mkdir "$work/run"
  case "$name" in
    all)
      script=$top/levels/all.script
      for n in 1 2 3 4; do cp "$build/level$n.lvx" "$work/run/level$n.lvx"; done ;;
    level[1-4]_*)
      level=${name%%_*}
      script=$top/levels/$level/${name#*_}.script
      cp "$build/$level.lvx" "$work/run/level1.lvx" ;;
    *) echo "golden: unknown name $name" >&2; exit 2 ;;
  esac
  [ -f "$script" ] || { echo "golden: no script $script" >&2; exit 2; }
  # The replay's own exit status is part of the trace's last line.
  (cd "$work/run" && $replay "$script" --trace "$work/trace.jsonl" >/dev/null 2>"$work/stderr") || true
  golden=$top/tests/golden/$name.jsonl
  if [ "$mode" = bless ]; then
    cp "$work/trace.jsonl" "$golden"
    echo "golden: wrote tests/golden/$name.jsonl ($(wc -l <"$golden") lines)"
  elif [ ! -f "$golden" ]; then
    echo "golden: $name has no golden trace: bless it (scripts/golden.sh bless BUILD_DIR $name)"
    failed=1
  elif ! "$diff_tool" "$golden" "$work/trace.jsonl"; then
    echo "golden: $name differs from tests/golden/$name.jsonl"
    cat "$work/stderr" >&2
    failed=1
  fi
done
exit $failed
