#!/usr/bin/env bash
# Runs a program on a virtual X screen and saves a screenshot of the whole screen as a PNG.
#
#   scripts/screenshot.sh [-o FILE.png] [-s WIDTHxHEIGHT] [-w SECONDS] PROGRAM [ARGUMENTS...]
#
# -o  where the PNG goes (default screenshot.png)
# -s  size of the screen (default 1024x768)
# -w  how long the program gets to open and draw its windows before the picture is taken (default 2)
#
# The program is ended after the screenshot. Qt programs run on the X screen, whatever QT_QPA_PLATFORM
# says outside.
set -euo pipefail

# The inner part: the script calls itself under xvfb-run, with DISPLAY set to the virtual screen.
if [ "${1-}" = --on-virtual-screen ]; then
  out=$2 wait_seconds=$3
  shift 3
  env -u QT_QPA_PLATFORM "$@" &
  pid=$!
  sleep "$wait_seconds"
  kill -0 "$pid" 2>/dev/null || echo "note: the program ended before the screenshot" >&2
  /usr/bin/import -window root "$out"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  exit 0
fi

out=screenshot.png
size=1024x768
wait_seconds=2
while getopts "o:s:w:h" opt; do
  case $opt in
    o) out=$OPTARG ;;
    s) size=$OPTARG ;;
    w) wait_seconds=$OPTARG ;;
    *) sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -eq 0 ]; then
  sed -n '2,12s/^# \{0,1\}//p' "$0"
  exit 2
fi
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "screen size must look like 1024x768" >&2; exit 2; }

source "$(dirname "$0")/deps.sh"
quillan_ensure_packages xvfb xauth imagemagick

xvfb-run --auto-servernum --server-args="-screen 0 ${size}x24" "$0" --on-virtual-screen "$out" "$wait_seconds" "$@"
echo "screenshot: $out"
