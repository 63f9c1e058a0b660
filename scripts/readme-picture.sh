#!/usr/bin/env bash
# Makes the README's picture again: the main window streaming from the
# simulated unit with the measurement window beside it, drawn offscreen by
# the program itself. Run it after changing the window; it writes
# docs/kestrova-window.png. KESTROVA_BUILD_DIR picks the build folder
# (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/build-options.sh
build_dir=${KESTROVA_BUILD_DIR:-build/release}
cmake -S . -B "$build_dir" "${release_build_options[@]}"
cmake --build "$build_dir" --target kestrova_screenshot -j "$(nproc)"
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build_dir/tools/kestrova_screenshot" docs/kestrova-window.png --cursors "$@"
