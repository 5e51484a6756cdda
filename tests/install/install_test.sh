#!/bin/bash
# Installs the build into a scratch prefix, moves the tree elsewhere (an install must work
# under any prefix), and from an unrelated working directory: every installed program
# prints the version; the installed mazereplay finds the installed levels and replays
# levels/all.script to the golden trace (before the goldens exist, to the trace of the
# build folder's own mazereplay); with no levels anywhere it names every folder it tried.
#   install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -u
build=$(realpath "$1")
source=$(realpath "$2")
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/first" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
mv "$work/first" "$work/moved"
prefix=$work/moved
mkdir "$work/elsewhere"
cd "$work/elsewhere" || exit 1
for program in maze mazec mazereplay mazedump levelgen; do
  said=$("$prefix/bin/$program" --version) || fail "$program --version exit $?"
  [ "$said" = "$program $version" ] || fail "$program --version said '$said'"
done
for level in 1 2 3 4; do
  cmp -s "$prefix/share/maze/level$level.lvx" "$build/level$level.lvx" || fail "level$level.lvx not installed"
done

golden=$source/tests/golden/all.jsonl
if [ ! -f "$golden" ]; then
  (cd "$build" && ./mazereplay "$source/levels/all.script" --trace "$work/build.jsonl" >/dev/null) ||
    fail "the build folder's mazereplay"
  golden=$work/build.jsonl
fi
# No data folder of the system may serve instead of the installed one.
XDG_DATA_DIRS=/nonexistent "$prefix/bin/mazereplay" "$source/levels/all.script" --trace "$work/installed.jsonl" \
  >/dev/null 2>"$work/replay.err" || { cat "$work/replay.err"; fail "installed mazereplay exit $?"; }
cmp "$work/installed.jsonl" "$golden" || fail "the installed replay differs from $golden"

# Without the installed levels, and none in the working directory or the data folders.
mv "$prefix/share/maze" "$prefix/share/maze-away"
XDG_DATA_DIRS="$work/none1:$work/none2" "$prefix/bin/mazereplay" "$source/levels/all.script" \
  >/dev/null 2>"$work/missing.err"
expected="mazereplay: level1.lvx was not found; looked in:
  . (the working directory)
  $prefix/share/maze
  $work/none1/maze
  $work/none2/maze
mazereplay: name the folder of the level files with --levels DIR"
head -6 "$work/missing.err" | diff <(echo "$expected") - || fail "the missing-levels message"
echo "PASS: installed under a moved prefix; versions, the replay and the search as expected"
