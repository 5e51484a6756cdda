#!/bin/bash
# Print Screen through the game's scripted run: a replay saves pictures only into its
# --frames-dir (here one no frame number of the run asks for); where the picture can be
# written it is, and named on stderr; where it cannot (a file size limit of 0 makes every
# write fail, for root too), the game says so on stderr and plays on.
#   screenshot_unwritable.sh MAZEREPLAY LEVEL_DIR
set -u
replay=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$2"/level[1-4].lvx "$work"/ || { echo "FAIL: no level files in $2"; exit 1; }
cd "$work" || exit 1
# Print Screen (B7) held for one frame and released: one picture.
printf '16 0 0 - -\n32 0 0 - B7\n48 0 0 - -\n64 0 0 - -\n' > shot.script

shots=(--frames 999999 --frames-dir shots)
errors=$("$replay" shot.script 2>&1 >/dev/null)
[ -e maze_0000.png ] && { echo "FAIL: a replay without --frames-dir wrote maze_0000.png"; exit 1; }
errors=$("$replay" shot.script "${shots[@]}" 2>&1 >/dev/null)
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: writable run exit $status: $errors"; exit 1; }
[ -s shots/maze_0000.png ] || { echo "FAIL: no shots/maze_0000.png written"; exit 1; }
if ! grep -qx "Print Screen: saved shots/maze_0000.png" <<<"$errors"; then echo "FAIL: the saved picture not named: $errors"; exit 1; fi

# Standard error goes to a pipe, which the size limit does not touch; SIGXFSZ ignored
# makes the write fail with EFBIG instead of ending the process.
errors=$( (ulimit -f 0; trap '' XFSZ; exec "$replay" shot.script "${shots[@]}") 2>&1 >/dev/null)
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: unwritable run exit $status: $errors"; exit 1; }
[ -e shots/maze_0001.png ] && { echo "FAIL: maze_0001.png written despite the limit"; exit 1; }
if ! grep -q "^Print Screen: could not write shots/maze_0001.png" <<<"$errors"; then
  echo "FAIL: nothing said about the failed screenshot; stderr was: $errors"
  exit 1
fi
echo "PASS: screenshot written when it can be, and its failure reported: $(grep '^Print Screen' <<<"$errors")"
