#!/usr/bin/env bash
# Sets up, builds and runs every test in a Release build (what users get);
# then builds and runs the suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer (with clang, which also builds the fuzz targets
# and runs each briefly), and the threaded tests under ThreadSanitizer.
# Warnings are errors here; every test has a time limit (60 s unless its
# suite sets more), and --timeout backs that up for anything without one.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
# Rebuilds are quicker through ccache where it is installed; nothing needs it.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== Build and test (Release) =="
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTROVA_WERROR=ON "${launcher[@]}"
cmake --build build/release -j "$jobs"
# The soak (label soak) runs once, in the sanitizer build below.
ctest --test-dir build/release --output-on-failure -j "$jobs" --timeout 120 -LE soak
bash scripts/check-install.sh build/release

echo "== AddressSanitizer + UndefinedBehaviorSanitizer (clang) =="
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTROVA_SANITIZE=address,undefined -DKESTROVA_BUILD_FUZZ=ON -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_WERROR=ON "${launcher[@]}"
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 120

tsan_targets=(kestrova_device_tests kestrova_simulator_tests kestrova_integration_tests)
if [ ${#tsan_targets[@]} -gt 0 ]; then
  echo "== ThreadSanitizer (threaded tests) =="
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKESTROVA_SANITIZE=thread -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_WERROR=ON "${launcher[@]}"
  cmake --build build/tsan -j "$jobs" --target "${tsan_targets[@]}"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L threads --timeout 120
fi

bash scripts/windows-tests.sh
