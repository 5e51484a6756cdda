#!/bin/bash
# The Debian package made by cpack from the build folder: its name, what it holds, its
# section and the SDL2 library among the dependencies dpkg-shlibdeps worked out.
#   package_test.sh BUILD_DIR VERSION
# Exits 77 (skipped) when dpkg-deb or dpkg-shlibdeps is missing.
set -u
build=$(realpath "$1")
version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps dpkg; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (dpkg-dev)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/maze_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work"; fail "no $(basename "$deb")"; }

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' >"$work/list"
app=io.github.mazegame.Maze
for path in usr/bin/maze usr/bin/mazec usr/bin/mazereplay usr/bin/mazedump usr/bin/levelgen \
  usr/share/maze/level1.lvx usr/share/maze/level2.lvx usr/share/maze/level3.lvx usr/share/maze/level4.lvx \
  usr/share/maze/level1/level.map usr/share/maze/level4/win.script usr/share/maze/all.script \
  usr/share/applications/$app.desktop usr/share/metainfo/$app.metainfo.xml \
  usr/share/icons/hicolor/48x48/apps/$app.png usr/share/icons/hicolor/128x128/apps/$app.png \
  usr/share/icons/hicolor/256x256/apps/$app.png \
  usr/share/man/man6/maze.6 usr/share/man/man1/mazec.1 usr/share/man/man1/mazereplay.1 \
  usr/share/man/man1/mazedump.1 usr/share/man/man1/levelgen.1 \
  usr/share/doc/maze/README.md usr/share/doc/maze/LICENSE; do
  grep -qx "$path" "$work/list" || fail "$path is not in the package"
done

dpkg-deb -I "$deb" >"$work/info"
grep -q "^ Section: games$" "$work/info" || { cat "$work/info"; fail "section"; }
grep -q "^ Version: $version$" "$work/info" || { cat "$work/info"; fail "version"; }
grep -q "^ Depends:.*libsdl2-2\.0-0" "$work/info" || { cat "$work/info"; fail "no SDL2 dependency"; }
echo "PASS: $(basename "$deb") with $(wc -l <"$work/list") entries"
