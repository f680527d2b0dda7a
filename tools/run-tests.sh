#!/bin/bash
# Sets up the machine, builds everything in build/ and runs all tests under
# Wine. Extra arguments go to ctest (e.g. -R smoke).
#   QRT_BUILD_DIR=<folder>   build somewhere else than <repo>/build
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRT_BUILD_DIR:-$repo/build}

"$repo/tools/setup.sh"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
  --log-level=WARNING
ninja -C "$build" -j2

# The bed is stopped by the suite's last test; also when ctest is cut short.
trap '"$repo/tools/winebed/stop" "$build/winebed"' EXIT
# Started here rather than by the suite's first test, so that it says how it
# runs Wine and ctest stretches every test's time-out by its pace.
"$repo/tools/winebed/start" "$build/winebed"
cd "$build"
# Serial on purpose: tests share one display, and a window of one test would
# take the activation another test's game needs.
ctest --output-on-failure "$@"
