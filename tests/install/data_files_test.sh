#!/bin/bash
# The installed data files pass their validators: the desktop entry
# (desktop-file-validate), the AppStream metainfo (appstreamcli, no network) and every
# manual page rendered with all warnings on and none given.
#   data_files_test.sh SOURCE_DIR BUILD_DIR
# Exits 77 (skipped) when a validator is missing.
set -u
source=$(realpath "$1")
build=$(realpath "$2")
for tool in desktop-file-validate appstreamcli groff; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (desktop-file-utils, appstream, groff-base)"; exit 77; }
done
status=0
for desktop in "$source"/data/*.desktop; do
  said=$(desktop-file-validate "$desktop" 2>&1) || status=1
  [ -z "$said" ] || { echo "FAIL: $desktop: $said"; status=1; }
done
for metainfo in "$source"/data/*.metainfo.xml; do
  appstreamcli validate --no-net "$metainfo" || { echo "FAIL: $metainfo"; status=1; }
done
pages=("$build"/man/*.[16])
[ ${#pages[@]} -eq 5 ] || { echo "FAIL: ${#pages[@]} manual pages in $build/man, not 5"; status=1; }
for page in "${pages[@]}"; do
  said=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
  [ -z "$said" ] || { echo "FAIL: $page: $said"; status=1; }
  if command -v man >/dev/null; then
    said=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$said" ] || { echo "FAIL: man $page: $said"; status=1; }
  fi
done
[ $status -eq 0 ] && echo "PASS: desktop entry, metainfo and ${#pages[@]} manual pages"
exit $status
