#!/bin/bash
# The soak: a million iterations of every kind of handle, files, network
# messages and strings in one game (tests/soak/soak.cpp); prints the
# process's handle count and private bytes as it goes and their growth at
# the end.
#
#   tools/soak.sh [iterations in thousands, default 1000]
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRT_BUILD_DIR:-$repo/build}
run="$repo/tools/winebed/wine-run"

"$repo/tools/setup.sh"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" --log-level=WARNING
ninja -C "$build" -j2 soak

# A test bed of its own, so that the suite can run meanwhile.
export QRT_WINEBED=$build/winebed-soak
trap '"$repo/tools/winebed/stop" "$QRT_WINEBED"' EXIT
"$repo/tools/winebed/start" "$QRT_WINEBED"
source "$repo/tools/winebed/bed.sh"
winebed_load "$QRT_WINEBED"

work=$QRT_WINEBED/prefix/drive_c/soak
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$repo"/examples/demo/*.{bmp,x,wav} .
"$run" "$build/tests/soak/soak.exe" "${1:-1000}"
