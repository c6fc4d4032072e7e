#!/usr/bin/env bash
# A screenshot of the folder browser open on the source tree, under a virtual X screen.
#
#   scripts/screenshot-folder-dialog.sh [BUILD_DIR] [OUT.png]
#
# BUILD_DIR defaults to build (the controls' test program must be built there); the picture goes to
# BUILD_DIR/folder-dialog.png unless OUT.png is given.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
out=${2:-$build/folder-dialog.png}
program=$build/tests/quillan_controls_tests
[ -x "$program" ] || { echo "build $program first (ninja -C $build quillan_controls_tests)" >&2; exit 2; }
QUILLAN_SOURCE_DIR=$here "$here/scripts/screenshot.sh" -o "$out" -s 1920x1080 -w 4 \
  "$program" --gtest_also_run_disabled_tests --gtest_filter=FolderDialogShow.DISABLED_OpenOnTheSourceTree
# Only the dialog: the empty screen around it is cut away.
convert "$out" -trim +repage "$out"
echo "cropped: $out"
