#!/usr/bin/env bash
# A screenshot of the AVI open dialog previewing a test clip, under a virtual X screen.
#
#   scripts/screenshot-avi-dialog.sh [BUILD_DIR] [OUT.png]
#
# BUILD_DIR defaults to build (kv-avi-dialog must be built there); the picture goes to
# BUILD_DIR/avi-open-dialog.png unless OUT.png is given. The clip is made with ffmpeg in a temporary folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
out=${2:-$build/avi-open-dialog.png}
program=$build/src/kv-avi-dialog
[ -x "$program" ] || { echo "build $program first (ninja -C $build kv-avi-dialog)" >&2; exit 2; }
work=$(mktemp -d /tmp/quillan-avi-dialog.XXXXXX)
trap 'rm -rf "$work"' EXIT
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=4 \
  -f lavfi -i sine=frequency=440:duration=4 -c:v mjpeg -q:v 4 -c:a pcm_s16le -ar 22050 "$work/clip.avi"
"$here/scripts/screenshot.sh" -o "$out" -s 1280x800 -w 4 "$program" "$work/clip.avi"
# Only the dialog: the empty screen around it is cut away.
convert "$out" -trim +repage "$out"
echo "cropped: $out"
