#!/usr/bin/env bash
# Runs each fuzz target for a given time on a kept corpus, and prints how many
# inputs each tried.
#
#   scripts/fuzz-long.sh [seconds per target, default 3600] [target ...]
#
# The targets are built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz. Each starts from the seeds in
# fuzz/corpus/<target>/ (in the repository, read only here) and from what
# earlier runs found in build/fuzz-corpus/<target>/, where new inputs go.
# Crashing inputs land in build/fuzz-artifacts/. Jobs: FUZZ_JOBS (default 1)
# processes per target; keep it low on a shared machine.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-3600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(kestrova_frame_extractor_fuzzer kestrova_frame_decoder_fuzz kestrova_parse_number_fuzz
           kestrova_settings_load_fuzz)
fi
jobs=${FUZZ_JOBS:-1}

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DKESTROVA_SANITIZE=address,undefined -DKESTROVA_BUILD_FUZZ=ON \
  -DKESTROVA_BUILD_TESTS=OFF -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_BUILD_TOOLS=OFF > /dev/null
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]}"

mkdir -p build/fuzz-artifacts
summary=()
status=0
for target in "${targets[@]}"; do
  binary=$(find build/fuzz -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$binary" ]; then
    echo "no fuzz target named $target" >&2
    exit 2
  fi
  kept=build/fuzz-corpus/$target
  mkdir -p "$kept"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
  log=build/fuzz-artifacts/$target.log
  echo "== $target for $seconds s (log $log)"
  # The first folder takes the new inputs; the seed folder is only read.
  parallel=()
  [ "$jobs" -gt 1 ] && parallel=(-jobs="$jobs" -workers="$jobs")
  if "$binary" -max_total_time="$seconds" "${parallel[@]}" -print_final_stats=1 \
       -artifact_prefix="build/fuzz-artifacts/$target-" "$kept" "${seeds[@]}" > "$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  # With -jobs the counts are in the workers' logs.
  runs=$({ cat "$log"; cat fuzz-*.log 2>/dev/null || true; } |
         { grep -o 'stat::number_of_executed_units: *[0-9]*' || true; } | awk '{s += $2} END {print s + 0}')
  rm -f fuzz-*.log
  summary+=("$target: $result, $runs inputs in $seconds s, corpus $(find "$kept" -type f | wc -l) files")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
