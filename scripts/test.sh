#!/usr/bin/env bash
# Sets up, builds and runs every test in a Release build (what users get);
# then builds and runs the suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer (with clang, which also builds the fuzz targets
# and runs each briefly), then the Windows cross build and its tests under
# Wine, and last the threaded tests under ThreadSanitizer.
# Warnings are errors here; every test has a time limit (60 s unless its
# suite sets more), and --timeout backs that up for anything without one.
#
# Tests leave the processors partly idle, so each later build runs in the
# background, at low priority, while the tests before it run: the
# AddressSanitizer build beside the Release tests, the Windows build beside
# the AddressSanitizer tests, and the ThreadSanitizer build beside the
# Windows tests, which mostly wait for Wine.
# At the end a table gives the wall and CPU time of each stage.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/stage-times.sh

stage_begin "setup"
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
source scripts/build-options.sh
release_build_options+=(-DKESTROVA_WERROR=ON)

# Unoptimised, with line tables only: a sanitizer's report still names the
# file and line of every frame, and full debug information would take a
# large share of the build.
sanitizer_options=(-G Ninja -DCMAKE_BUILD_TYPE=Debug
  -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_WERROR=ON "${launcher_options[@]}")
# kestrova-cli: the instrument server under PyVISA is among the threaded tests.
tsan_targets=(kestrova_device_tests kestrova_simulator_tests kestrova_integration_tests kestrova-cli)

build_asan() {
  cmake -S . -B build/asan "${sanitizer_options[@]}" \
    -DKESTROVA_SANITIZE=address,undefined -DKESTROVA_BUILD_FUZZ=ON
  cmake --build build/asan -j "$jobs"
}

build_tsan() {
  cmake -S . -B build/tsan "${sanitizer_options[@]}" -DKESTROVA_SANITIZE=thread
  cmake --build build/tsan -j "$jobs" --target "${tsan_targets[@]}"
}

echo "== Build and test (Release) =="
stage_begin "Release: build"
cmake -S . -B build/release "${release_build_options[@]}"
cmake --build build/release -j "$jobs"

stage_background "AddressSanitizer: build" build/logs/asan-build.log build_asan
stage_begin "Release: tests, install check"
# The soak (label soak) runs once, in the sanitizer build below.
ctest --test-dir build/release --output-on-failure -j "$jobs" --timeout 120 -LE soak
bash scripts/check-install.sh build/release
stage_begin "AddressSanitizer: waiting for the build"
stage_wait

stage_background "Windows: build" build/logs/windows-build.log bash scripts/windows-tests.sh build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer (clang) =="
stage_begin "AddressSanitizer: tests"
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 120
stage_begin "Windows: waiting for the build"
stage_wait

stage_background "ThreadSanitizer: build" build/logs/tsan-build.log build_tsan
stage_begin "Windows: tests under Wine"
bash scripts/windows-tests.sh test
stage_begin "ThreadSanitizer: waiting for the build"
stage_wait
echo "== ThreadSanitizer (threaded tests) =="
stage_begin "ThreadSanitizer: tests"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L threads --timeout 120
stage_end
