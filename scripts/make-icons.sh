#!/bin/sh
# Draws the game's icons with its own renderer: mazereplay renders a frame near the end of
# level 1's winning run (solid drawing, the ball beside the blue goal), and ImageMagick cuts
# a square around them and scales it to each hicolor size. The PNGs are committed; run this
# again only when the picture should change.
#   scripts/make-icons.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
app_id=io.github.mazegame.Maze
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && ./mazereplay "$root/levels/level1/win.script" --frames 215 --frames-dir "$work" >/dev/null)
for size in 48 128 256; do
  convert "$work/frame_000215.png" -crop 240x240+70+95 +repage -resize "${size}x${size}" \
    -strip -define png:color-type=2 "$root/data/icons/$app_id-$size.png"
done
