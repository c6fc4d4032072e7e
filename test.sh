#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and integration tests, the parsers'
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded parts under ThreadSanitizer,
# and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quillan_ensure_packages "${quillan_build_packages[@]}" "${quillan_test_packages[@]}"

jobs=$(nproc)
echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build (address, undefined)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLAN_SANITIZE=address,undefined \
  -DQUILLAN_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
# The unit tests of every library; the codec corpus runs in the normal build only (slow under sanitizers).
for t in build-asan/tests/quillan_*_tests; do
  echo "-- $(basename "$t")"
  log="build-asan/$(basename "$t").log"
  if QT_QPA_PLATFORM=offscreen QUILLAN_TEST_WORK="$PWD/build-asan/test-work" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp print_suppressions=0" \
    "$t" --gtest_brief=1 --gtest_filter='-*Corpus*' >"$log" 2>&1; then
    tail -n 1 "$log"
  else
    tail -n 80 "$log"; echo "sanitizer tests failed: $t"; exit 1
  fi
done

echo "== thread sanitizer (decoding ahead, background writing, timers)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLAN_SANITIZE=thread \
  -DQUILLAN_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target quillan_vfw_tests quillan_app_tests quillan-extract \
  quillan_winmm_tests quillan_core_tests
# Each program with the filter that selects its threaded tests.
tsan_runs=(
  "quillan_vfw_tests -*Corpus*:*Cli*"
  "quillan_app_tests -*Corpus*:*Cli*"
  "quillan_winmm_tests *"
  "quillan_core_tests KvTimer*:KvUtilsTiming*"
)
for run in "${tsan_runs[@]}"; do
  read -r name filter <<<"$run"
  t="build-tsan/tests/$name"
  log="build-tsan/$name.log"
  if QUILLAN_TEST_WORK="$PWD/build-tsan/test-work" TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" \
    "$t" --gtest_brief=1 --gtest_filter="$filter" >"$log" 2>&1; then
    tail -n 1 "$log"
  else
    tail -n 80 "$log"; echo "thread sanitizer tests failed: $t"; exit 1
  fi
done

echo "== fuzz (short runs on the seed corpus)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLAN_FUZZ=ON \
  -DQUILLAN_TESTS=OFF -DQUILLAN_BENCH=OFF >/dev/null
fuzz_targets=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
cmake --build build-fuzz -j "$jobs" --target $fuzz_targets
fuzz_seconds=${QUILLAN_FUZZ_SECONDS:-20}
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work="build-fuzz/corpus/$name"
  mkdir -p "$work"
  echo "-- $name (${fuzz_seconds}s)"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -max_len=65536 "$work" "fuzz/seeds/${name#fuzz_}" \
    >"build-fuzz/$name.log" 2>&1 || { tail -n 40 "build-fuzz/$name.log"; exit 1; }
done
echo "== all tests passed"
