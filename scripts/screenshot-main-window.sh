#!/usr/bin/env bash
# Screenshots of the tool's window under a virtual X screen: after loading a clip, and in the middle of
# an extraction run with the gauge at the bottom.
#
#   scripts/screenshot-main-window.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR defaults to build (quillan must be built there); the pictures go to OUT_DIR (default
# BUILD_DIR) as main-window.png and main-window-run.png. The clip is made with ffmpeg in a temporary
# folder, large enough for the run to last a few seconds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
outdir=${2:-$build}
program=$build/src/quillan
[ -x "$program" ] || { echo "build $program first (ninja -C $build quillan)" >&2; exit 2; }
work=$(mktemp -d /tmp/quillan-main-window.XXXXXX)
trap 'rm -rf "$work"' EXIT
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=120 -c:v mjpeg -q:v 3 "$work/clip.avi"

"$here/scripts/screenshot.sh" -o "$outdir/main-window.png" -s 800x600 -w 3 "$program" "$work/clip.avi"
"$here/scripts/screenshot.sh" -o "$outdir/main-window-run.png" -s 800x600 -w 5 \
  "$program" --extract "$work/clip.avi" "$work/stills"
echo "images written when the picture was taken: $(ls "$work/stills" | wc -l)"
# Only the window: the empty screen around it is cut away.
for shot in main-window main-window-run; do
  convert "$outdir/$shot.png" -trim +repage "$outdir/$shot.png"
  echo "cropped: $outdir/$shot.png"
done
