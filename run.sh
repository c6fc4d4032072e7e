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

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

if [ "${1-}" = --gui ]; then
  shift
  cmake --build "$here/build" --target quillan >/dev/null
  exec "$here/build/src/quillan" "$@"
fi

cmake --build "$here/build" --target quillan-extract >/dev/null
if [ $# -eq 0 ]; then
  echo "Extracting the bundled sample (samples/sample.avi) into ./frames"
  set -- "$here/samples/sample.avi" frames
fi
exec "$here/build/src/quillan-extract" "$@"
