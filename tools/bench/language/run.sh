#!/bin/bash
# The language benchmark: code a game would contain, compiled by qrtc,
# against the same work in C compiled by mingw-w64 at -O2 and -O0, all run
# in the same Wine; and qrtc's own speed on a long script. Prints the
# README's tables (best of three rounds each).
#
#   tools/bench/language/run.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../../.." && pwd)
build=${QRT_BUILD_DIR:-$repo/build}
run="$repo/tools/winebed/wine-run"

"$repo/tools/setup.sh"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" --log-level=WARNING
ninja -C "$build" -j2 qrtrun boxwatch

export QRT_WINEBED=$build/winebed
"$repo/tools/winebed/start" "$QRT_WINEBED"
source "$repo/tools/winebed/bed.sh"
winebed_load "$QRT_WINEBED"
if [[ $i386 != native ]]; then
  echo "bench: WARNING: Wine runs under an emulator on this machine: these figures are not comparable with native ones" >&2
fi

work=$QRT_WINEBED/prefix/drive_c/bench-language
rm -rf "$work"
mkdir -p "$work"
for program in kernels engine; do
  for level in O2 O0; do
    i686-w64-mingw32-gcc-posix -std=c11 -"$level" -static "$here/$program.c" -o "$work/${program}_c$level.exe" -lwinmm
  done
  "$repo/tools/qrtc" "$here/$program.qrs" -o "$work/${program}_qrtc.exe" --runtime "$build/qrtrun.exe"
done

# Each program writes bench.txt: "name milliseconds x" per round; the best
# round of each name counts.
declare -A best
for exe in "$work"/*.exe; do
  kind=$(basename "$exe" .exe)
  (cd "$work" && rm -f bench.txt && "$run" "$build/tests/e2e/boxwatch.exe" --timeout 600000 "$(basename "$exe")" >/dev/null)
  while read -r name ms _; do
    key="${kind%%_*} $name ${kind#*_}"
    if [[ -z ${best[$key]:-} ]] || ((ms < best[$key])); then best[$key]=$ms; fi
  done <"$work/bench.txt"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) b = 1; printf "%.2f", a / b }'; }
echo
echo "| workload | qrtc ms | C -O2 ms | C -O0 ms | qrtc / -O2 | qrtc / -O0 |"
echo "| --- | --- | --- | --- | --- | --- |"
for key in $(printf '%s\n' "${!best[@]}" | awk '$3 == "qrtc" {print $1 "/" $2}' | sort); do
  program=${key%/*} name=${key#*/}
  q=${best["$program $name qrtc"]} o2=${best["$program $name cO2"]} o0=${best["$program $name cO0"]}
  echo "| $name | $q | $o2 | $o0 | $(ratio "$q" "$o2") | $(ratio "$q" "$o0") |"
done

# qrtc's own speed: a generated script of 50 000 lines, best of five, run
# as tools/qrtc runs it (without the wrapper's own start).
"$here/gen-lines.sh" 50000 >"$work/big.qrs"
lines=$(wc -l <"$work/big.qrs")
"$repo/tools/qrtc" "$work/big.qrs" --check
bestNs=
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$repo/build-host/qrtc" "$work/big.qrs" -o "$work/big.qim"
  ns=$(($(date +%s%N) - start))
  if [[ -z $bestNs ]] || ((ns < bestNs)); then bestNs=$ns; fi
done
echo
echo "qrtc: $lines lines in $((bestNs / 1000000)) ms: $(awk -v l="$lines" -v n="$bestNs" 'BEGIN { printf "%d", l / (n / 1e9) }') lines/s"
