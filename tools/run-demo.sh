#!/bin/bash
# Sets up the machine, builds the runtime and the compiler, compiles the
# demo game from its scripts (examples/demo) and plays it:
#   tools/qrtc examples/demo/demo.qrs -o demo.exe    (the game: qrtrun.exe + its image)
#   demo.exe
# On your display when DISPLAY is set (it runs until Escape or the time-out;
# a screenshot of the screen is taken a few seconds in), otherwise on the
# test bed's Xvfb as two players, `demo.exe host` and `demo.exe join`, each
# of which saves its own screenshot once it has seen the other and ends.
# Either way the screenshot lands in build/demo.png.
#   QRT_DEMO_SECONDS   time-out (default 120 on a display; on Xvfb, where
#                      the copies end by themselves, a cap of 60 stretched
#                      by the bed's pace)
#   QRT_DEMO_SHOT_AT   seconds before the screenshot on a display (default 3,
#                      stretched by the pace)
#   QRT_BUILD_DIR      build somewhere else than <repo>/build
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QRT_BUILD_DIR:-$repo/build}
run="$repo/tools/winebed/wine-run"

"$repo/tools/setup.sh"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
  --log-level=WARNING
ninja -C "$build" -j2 qrtrun boxwatch

export QRT_WINEBED=$build/winebed
trap '"$repo/tools/winebed/stop" "$QRT_WINEBED"' EXIT
"$repo/tools/winebed/start" "$QRT_WINEBED"
source "$repo/tools/winebed/bed.sh"
winebed_load "$QRT_WINEBED"

# On a machine that emulates Wine's 32-bit side (the bed's pace above 1)
# the game starts and plays several times slower.
if [[ -n ${DISPLAY:-} ]]; then
  export QRT_DISPLAY=$DISPLAY
  seconds=${QRT_DEMO_SECONDS:-120}
else
  seconds=$((${QRT_DEMO_SECONDS:-60} * pace))
fi
shot_display=${QRT_DISPLAY:-$display}

# The game runs from a folder on the prefix's C: drive: the runtime makes its
# data folder at the root of the current drive.
demo=$QRT_WINEBED/prefix/drive_c/demo
rm -rf "$demo"
mkdir -p "$demo"
cp "$repo"/examples/demo/*.{bmp,x,wav} "$demo/"
"$repo/tools/qrtc" "$repo/examples/demo/demo.qrs" -o "$demo/demo.exe" --runtime "$build/qrtrun.exe"
cd "$demo"
echo "demo: $demo/demo.exe (${seconds} s on display $shot_display)"

# boxwatch answers any box the game raises and prints it, so an error shows
# up here instead of waiting for a click nobody can give.
rm -f "$build/demo.png" "$demo/demo_shot.png"
if [[ -z ${DISPLAY:-} ]]; then
  # No one to play: two copies play each other over 127.0.0.1, one hosting
  # and one joining from a folder of its own; each saves its own screenshot
  # once it has seen its peer (or after eight seconds, times the pace) and
  # ends by itself.
  # The host's screenshot is the demo's, the joiner's lands beside it.
  join=$demo-join
  rm -rf "$join"
  cp -r "$demo" "$join"
  rm -f "$build/demo-join.png"
  export QRT_DEMO_SHOT=1
  "$run" "$build/tests/e2e/boxwatch.exe" --timeout $((seconds * 1000)) demo.exe host \
    >"$demo/boxwatch.log" &
  host=$!
  status=0
  "$run" "$build/tests/e2e/boxwatch.exe" --timeout $((seconds * 1000)) --cwd "$join" "$join/demo.exe" join \
    >"$join/boxwatch.log" || status=$?
  wait "$host" || status=$?
  for copy in "$demo" "$join"; do
    sed "s/^/demo ($(basename "$copy")): /" "$copy/boxwatch.log"
    [[ -f $copy/demo_peer.txt ]] && echo "demo ($(basename "$copy")): saw $(cat "$copy/demo_peer.txt")"
    if grep -q '^BOX' "$copy/boxwatch.log"; then status=1; fi
  done
  if [[ -f $demo/demo_shot.png ]]; then
    cp "$demo/demo_shot.png" "$build/demo.png"
    [[ -f $join/demo_shot.png ]] && cp "$join/demo_shot.png" "$build/demo-join.png"
    echo "demo: screenshot in $build/demo.png (the joiner's in $build/demo-join.png)"
  else
    echo "demo: the game saved no screenshot" >&2
    status=1
  fi
  exit "$status"
fi

"$run" "$build/tests/e2e/boxwatch.exe" --timeout $((seconds * 1000)) demo.exe >"$demo/boxwatch.log" &
game=$!
sleep "$(awk -v at="${QRT_DEMO_SHOT_AT:-3}" -v pace="$pace" 'BEGIN { print at * pace }')"
if kill -0 "$game" 2>/dev/null; then
  import -display "$shot_display" -window root -trim +repage "$build/demo.png" 2>/dev/null ||
    echo "demo: no screenshot (import failed)" >&2
else
  echo "demo: the game ended before the screenshot" >&2
fi
status=0
wait "$game" || status=$?
cat "$demo/boxwatch.log"
[[ -f $build/demo.png ]] && echo "demo: screenshot in $build/demo.png"

# An interactive demo ends by Escape or by the time-out; a box means an error.
if grep -q '^BOX' "$demo/boxwatch.log"; then exit 1; fi
case $status in
  0 | 124) exit 0 ;;
  *) exit "$status" ;;
esac
