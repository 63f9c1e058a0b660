#!/usr/bin/env bash
# Counts flaky tests: runs the Release suite and the AddressSanitizer suite
# of finished builds (build/release, build/asan: `bash scripts/test.sh` makes
# both) a number of times each, beside busy processes that spin at normal
# priority as the other programs of a loaded machine do, and prints each test
# that failed and in how many runs, per build. Exits 1 when any test failed.
#
#   scripts/flaky-census.sh [-n RUNS] [-b BUILD]... [-j JOBS] [--busy N] [-- CTEST-OPTIONS]
#
#   -n RUNS     runs of each suite (default 30)
#   -b BUILD    a build folder to run (repeatable; default build/release and
#               build/asan, those that exist)
#   -j JOBS     tests at once (default: the number of processors)
#   --busy N    busy processes beside the tests (default 2)
#   after --    passed to ctest, e.g. -R LinkStreamTest or -L threads (an
#               -LE of your own replaces the script's -LE soak)
#
# The runs take the same options as the test command (the soak only in the
# sanitizer build, the same sanitizer settings and time-outs). Each failed
# run's output is kept in build/logs/census/. Run it under `nice` on a
# machine others share: the busy processes inherit the priority.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=30
jobs=$(nproc)
busy=2
builds=()
ctest_extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs=$2; shift 2 ;;
    -b) builds+=("$2"); shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    --busy) busy=$2; shift 2 ;;
    --) shift; ctest_extra=("$@"); break ;;
    -h | --help) sed -n '2,21s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "flaky-census.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case "$runs$jobs$busy" in
  *[!0-9]* | "") echo "flaky-census.sh: -n, -j and --busy take a number" >&2; exit 2 ;;
esac
if [ ${#builds[@]} -eq 0 ]; then
  for dir in build/release build/asan; do
    [ -f "$dir/CTestTestfile.cmake" ] && builds+=("$dir")
  done
fi
if [ ${#builds[@]} -eq 0 ]; then
  echo "flaky-census.sh: no finished build; run bash scripts/test.sh first" >&2
  exit 2
fi
for dir in "${builds[@]}"; do
  if [ ! -f "$dir/CTestTestfile.cmake" ]; then
    echo "flaky-census.sh: $dir is not a finished build" >&2
    exit 2
  fi
done

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
logs=build/logs/census
mkdir -p "$logs"

spinners=()
stop_spinners() {
  for pid in "${spinners[@]}"; do kill "$pid" 2> /dev/null || true; done
}
trap stop_spinners EXIT
for ((i = 0; i < busy; ++i)); do
  sh -c 'while :; do :; done' &
  spinners+=($!)
done

any_failed=0
summary=""
for dir in "${builds[@]}"; do
  # The soak runs in the sanitizer build only, as in the test command.
  # ctest heeds one -LE: one given after -- takes the place of this one.
  label_options=()
  case " ${ctest_extra[*]} " in
    *" -LE "*) ;;
    *) grep -q '^KESTROVA_SANITIZE:STRING=.' "$dir/CMakeCache.txt" 2> /dev/null || label_options=(-LE soak) ;;
  esac
  declare -A failures=()
  failed_runs=0
  name=$(basename "$dir")
  for ((run = 1; run <= runs; ++run)); do
    failed_list="$dir/Testing/Temporary/LastTestsFailed.log"
    rm -f "$failed_list"
    log="$logs/$name-run$run.log"
    start=$SECONDS
    if ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 120 \
      "${label_options[@]}" "${ctest_extra[@]}" > "$log" 2>&1; then
      rm -f "$log"
      echo "$name run $run/$runs: passed ($((SECONDS - start)) s)"
      continue
    fi
    failed_runs=$((failed_runs + 1))
    any_failed=1
    if [ ! -s "$failed_list" ]; then
      failures["(ctest itself failed; see $log)"]=$((${failures["(ctest itself failed; see $log)"]:-0} + 1))
      echo "$name run $run/$runs: ctest failed without a failed test, see $log"
      continue
    fi
    # Lines read "number:name".
    while IFS= read -r line; do
      test=${line#*:}
      failures[$test]=$((${failures[$test]:-0} + 1))
    done < "$failed_list"
    echo "$name run $run/$runs: $(wc -l < "$failed_list") failed ($((SECONDS - start)) s), see $log"
  done
  summary+="$dir: $runs runs, $failed_runs with a failure"$'\n'
  if [ ${#failures[@]} -gt 0 ]; then
    summary+="$(for test in "${!failures[@]}"; do
      printf '  %3d of %d  %s\n' "${failures[$test]}" "$runs" "$test"
    done | sort -k1,1nr -k4)"$'\n'
  fi
  unset failures
done

echo
echo "== Flaky-test census ($busy busy processes, -j $jobs) =="
printf '%s' "$summary"
exit "$any_failed"
