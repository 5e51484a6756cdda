#!/bin/sh
# Fails on an include that points the wrong way between the game's libraries: every
# "dir/file.h" include of every source file is checked against the dependencies the
# libraries may have (HACKING.md draws them). Run by CTest as "layering".
#   scripts/check-layering.sh [SOURCE_DIR]
set -eu
cd "${1:-$(dirname "$0")/..}"

# The library a file belongs to, from its path.
library() {
  case "$1" in
    common/level/*) echo level_file ;;
    common/script/*) echo script_format ;;
    common/*) echo common ;;
    game/world/*) echo world ;;
    game/sim/*) echo sim ;;
    game/render/*) echo render ;;
    game/shell/input.* | game/shell/display.* | game/shell/font.* | game/shell/brightness.*) echo devices ;;
    game/shell/main.cpp) echo program ;;
    game/shell/*) echo shell ;;
    game/platform/platform.h) echo platform_api ;;
    game/platform/script/*) echo platform_script ;;
    # The SDL folder's parts without SDL, which the browser's platform shares.
    game/platform/sdl/frame_pace.* | game/platform/sdl/input_carry.* | game/platform/sdl/frame_clock.* | game/platform/sdl/sdl_record.* | game/platform/sdl/sdl_viewer.h | game/platform/sdl/sdl_window_state.h) echo platform_plain ;;
    game/platform/sdl/*) echo platform_sdl ;;
    # What stands in for zlib and libpng in the browser build.
    game/platform/web/web_png.* | game/platform/web/web_crc32.* | game/platform/web/compat/*) echo web_compat ;;
    game/platform/web/*) echo platform_web ;;
    compiler/*) echo compiler ;;
    tools/*) echo tools ;;
    *) echo other ;;
  esac
}

# The libraries each one may include from (itself included).
allowed() {
  case "$1" in
    common) echo "common" ;;
    level_file | script_format) echo "$1 common" ;;
    world) echo "world level_file common" ;;
    sim | render) echo "$1 world level_file common" ;;
    devices) echo "devices render world level_file platform_api common" ;;
    shell) echo "shell devices sim render world level_file script_format platform_api common" ;;
    program) echo "program shell devices sim render world level_file script_format platform_api platform_plain platform_sdl platform_web common" ;;
    platform_api) echo "platform_api common" ;;
    platform_plain | platform_script) echo "$1 platform_api script_format common" ;;
    platform_sdl | platform_web) echo "$1 platform_plain platform_api script_format common" ;;
    web_compat) echo "web_compat render world level_file common" ;;
    compiler) echo "compiler level_file common" ;;
    *) echo "*" ;;
  esac
}

bad=0
for file in $(git ls-files 'common/*' 'game/*' 'compiler/*' | grep -E '\.(h|cpp)$'); do
  from=$(library "$file")
  may=$(allowed "$from")
  [ "$may" = "*" ] && continue
  for header in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
    # A bare name is a file beside the includer, or one from an include folder of its own.
    case "$header" in */*) ;; *) [ -f "$(dirname "$file")/$header" ] || continue; header=$(dirname "$file")/$header ;; esac
    case "$header" in common/* | game/* | compiler/* | tools/*) path=$header ;; *) path=game/$header ;; esac
    to=$(library "$path")
    case " $may " in
      *" $to "*) ;;
      *) echo "layering: $file ($from) includes $header ($to)"; bad=1 ;;
    esac
  done
done
[ "$bad" = 0 ] && echo "layering: every include points down"
exit $bad
