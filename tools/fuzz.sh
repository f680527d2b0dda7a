#!/bin/bash
# Builds the fuzz targets of the readers of outside bytes (tests/fuzz) for
# this machine with clang, libFuzzer and the sanitizers, and runs each for a
# bounded time from its seed corpus. Any finding fails the run and leaves
# its input in build-fuzz/findings/<target>/.
#
#   tools/fuzz.sh                 every target, 60 s each
#   tools/fuzz.sh 3600            an hour each
#   tools/fuzz.sh 600 fuzz_riff   one target
#
# New inputs that reach new code are kept in build-fuzz/corpus/<target>/
# (outside the tree), so longer runs go on from where the last one ended.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if (( ${#targets[@]} == 0 )); then
  targets=(fuzz_routines fuzz_riff fuzz_keyframes fuzz_image_codecs fuzz_image_check fuzz_wire fuzz_compiler)
fi

tools/setup.sh
if [[ ! -f build-fuzz/build.ninja ]]; then
  CXX=clang++ cmake -S tests/fuzz -B build-fuzz -G Ninja >/dev/null
fi
ninja -C build-fuzz --quiet "${targets[@]}"

failed=()
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t findings=build-fuzz/findings/$t
  mkdir -p "$work" "$findings"
  log=build-fuzz/$t.log
  # The compiler starts from the language's own test scripts and
  # diagnostics files, with its words as a dictionary.
  seeds=("tests/fuzz/corpus/$t")
  extra=()
  if [[ $t == fuzz_compiler ]]; then
    seeds=(tests/language/scripts tests/language/diagnostics)
    extra=(-dict=tests/fuzz/qrtc.dict -max_len=8192)
  fi
  # -rss_limit_mb: a reader that allocates what a header claims shows up
  # as a finding, not as a slow machine.
  if build-fuzz/$t "$work" "${seeds[@]}" -max_total_time="$seconds" -rss_limit_mb=1024 \
       -timeout=10 -artifact_prefix="$findings/" -print_final_stats=1 "${extra[@]}" >"$log" 2>&1; then
    echo "fuzz: $t: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs, no finding"
  else
    echo "fuzz: $t: FINDING (see $log and $findings/)" >&2
    grep -E "ERROR|SUMMARY|runtime error" "$log" | head -5 >&2 || true
    failed+=("$t")
  fi
done
(( ${#failed[@]} == 0 ))
