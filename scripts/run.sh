#!/usr/bin/env bash
# Sets up, builds and starts Kestrova with the simulated unit, so it runs on
# any desktop without the hardware. Extra arguments go to the program;
# KESTROVA_BUILD_DIR picks the build folder (default build/release, set up as
# the test command sets it up, so that neither rebuilds what the other built).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

source scripts/build-options.sh
build_dir=${KESTROVA_BUILD_DIR:-build/release}
cmake -S . -B "$build_dir" "${release_build_options[@]}"
cmake --build "$build_dir" --target kestrova -j "$(nproc)"
exec "$build_dir/src/app/kestrova" --simulate "$@"
