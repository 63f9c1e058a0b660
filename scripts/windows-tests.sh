#!/usr/bin/env bash
# Cross-compiles the layers below the window (no Qt) for 64-bit Windows with
# MinGW-w64 and runs their tests under Wine, the vendor backend against the
# fake Ftd2xx.dll built beside the device tests. Wine keeps its prefix in the
# build folder (build/windows/wine), created on the first run.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== Windows (MinGW-w64, tests under Wine) =="
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
  -DKESTROVA_WITH_QT=OFF -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_BUILD_FUZZ=OFF -DKESTROVA_WERROR=ON \
  "${launcher[@]}"
cmake --build build/windows -j "$jobs"
ctest --test-dir build/windows --output-on-failure -j "$jobs"

# Wine's server lingers a few seconds after the last program; end it now.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ -x "$wineserver" ]; then
  WINEPREFIX="$PWD/build/windows/wine" "$wineserver" -k 2>/dev/null || true
fi
