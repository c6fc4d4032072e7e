#!/usr/bin/env bash
# Extracts every frame of an AVI file as BMP images (10000.BMP, 10001.BMP, ...).
#   ./run.sh                                   the bundled sample into ./frames
#   ./run.sh FILE.avi OUTDIR [--mode frames|odd|even] [--quiet]
#   ./run.sh --gui [FILE.avi]                  the desktop window (needs a display)
#   ./run.sh --help                            all options
# Installs what the build needs when it is missing, then builds the tool.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/scripts/deps.sh"
quillan_ensure_packages "${quillan_build_packages[@]}" libgtest-dev libbenchmark-dev

if [ ! -f "$here/build/build.ninja" ]; then
  echo "Configuring the build in ./build" >&2
fi
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# Builds a program, saying so and showing the build's progress when anything is to be done (the first
# build compiles the whole library and takes a few minutes on a small machine).
build_program() {
  local target=$1 steps
  steps=$(ninja -C "$here/build" -n "$target" 2>/dev/null | grep -v -e 'Re-checking globbed' -e 'Re-running CMake' | grep -c '^\[[0-9]' || true)
  if [ "${steps:-0}" -eq 0 ]; then
    return 0
  fi
  if [ -x "$here/build/src/$target" ]; then
    echo "Rebuilding $target ($steps steps)" >&2
  else
    echo "Building $target ($steps steps; the first build takes a few minutes)" >&2
  fi
  if [ -t 2 ]; then
    # On a terminal ninja keeps its progress on one line.
    NINJA_STATUS="[%f/%t %p] " cmake --build "$here/build" --target "$target" >&2
  else
    NINJA_STATUS="[%f/%t] " cmake --build "$here/build" --target "$target" >&2
  fi
  echo "Built $target" >&2
}

if [ "${1-}" = --gui ]; then
  shift
  build_program quillan
  exec "$here/build/src/quillan" "$@"
fi

build_program quillan-extract
if [ $# -eq 0 ]; then
  echo "Extracting the bundled sample (samples/sample.avi) into ./frames"
  set -- "$here/samples/sample.avi" frames
fi
exec "$here/build/src/quillan-extract" "$@"
