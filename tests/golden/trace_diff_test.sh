#!/bin/sh
# trace_diff against golden copies changed in one place each: the message must name the
# frame and the field, and an unchanged copy must compare equal.
set -eu
diff_tool=$1 golden=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp "$golden" "$work/same.jsonl"
"$diff_tool" "$golden" "$work/same.jsonl" >/dev/null || fail "an identical copy differs"

# name | sed program on the copy | words the message must hold
while IFS='|' read -r name program expect; do
  sed "$program" "$golden" >"$work/changed.jsonl"
  cmp -s "$golden" "$work/changed.jsonl" && fail "$name: the change did not apply"
  status=0
  "$diff_tool" "$golden" "$work/changed.jsonl" >"$work/out" || status=$?
  [ "$status" = 1 ] || fail "$name: exit $status, not 1"
  grep -qF "$expect" "$work/out" || { cat "$work/out"; fail "$name: no \"$expect\" in the message"; }
done <<'CASES'
one CRC digit|/"frame":100,/s/"frame_crc32":"\(.\)/"frame_crc32":"\1x/|frame 100: frame_crc32 differs
an entity's height|/"frame":7,/s/,0.375,/,0.376,/|frame 7: entities[0][3] differs
a text|/"frame":3,/s/WELCOME/WELCOMe/|frame 3: texts[0] differs
a missing last line|$d|the trace ends here
an extra line|$p|the golden trace ends here
CASES
echo "trace_diff: every change named"
