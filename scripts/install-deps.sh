#!/bin/sh
# Installs the Debian or Ubuntu packages that building maze, its tests, the sanitizer
# runs and the fuzz harnesses need. Only missing packages are installed; with nothing
# missing it asks for nothing. Runs as root, or as a user with sudo.
#   scripts/install-deps.sh
set -eu

# The one list of what the project needs: the build, the tests (JSON traces, and the
# real game under a virtual X display), the benchmarks, clang for the fuzz preset, and
# the package and its data files' checks (dpkg-shlibdeps, the desktop entry, metainfo
# and manual page validators), and the browser build (emscripten) with what runs its
# tests (Node, npm, Chromium).
packages="build-essential cmake ninja-build pkg-config
  libsdl2-dev libpng-dev zlib1g-dev
  libgtest-dev libbenchmark-dev nlohmann-json3-dev
  libx11-dev xvfb xauth x11-utils xfonts-base xdotool imagemagick
  clang
  dpkg-dev file desktop-file-utils appstream man-db groff-base
  emscripten nodejs chromium"
# clang's sanitizer and libFuzzer runtime is a package of its own from clang 14's later
# Debian builds on; older releases ship it inside clang, and know no such package.
optional="libclang-rt-dev"

missing() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' ||
      echo "$package"
  done
}

# The browser test's npm packages, pinned in tests/web/package-lock.json.
npm_packages() {
  if [ -d "$(dirname "$0")/../tests/web/node_modules/playwright-core" ]; then return; fi
  (cd "$(dirname "$0")/../tests/web" && npm ci --no-audit --no-fund)
}

# shellcheck disable=SC2086  # the lists split into package names on purpose
wanted=$(missing $packages $optional)
# npm comes with some builds of Node.js (NodeSource's) and as Debian's own package with
# others; the package is asked for only where no npm is found.
command -v npm >/dev/null 2>&1 || wanted="$wanted npm"
if [ -z "$wanted" ]; then
  echo "install-deps: every package is installed"
  npm_packages
  exit 0
fi

as_root=""
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null 2>&1 || {
    # shellcheck disable=SC2086  # one line of names
    echo "install-deps: run as root, or install sudo; missing:" $wanted >&2
    exit 1
  }
  as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -q

install=""
for package in $wanted; do
  case " $optional " in
    *" $package "*)
      # Installed only where this release knows it.
      apt-cache show "$package" >/dev/null 2>&1 || continue ;;
  esac
  install="$install $package"
done
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $install
npm_packages
