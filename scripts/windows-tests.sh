#!/usr/bin/env bash
# Cross-compiles the layers below the window (no Qt) for 64-bit Windows with
# MinGW-w64 and runs their tests under Wine, the vendor backend against the
# fake Ftd2xx.dll built beside the device tests. Wine keeps its prefix in the
# build folder (build/windows/wine), made once, after the build.
# `windows-tests.sh build` only builds (and makes the prefix),
# `windows-tests.sh test` only runs the tests of a finished build; without an
# argument it does both.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
case "$what" in
  all | build | test) ;;
  *)
    echo "usage: windows-tests.sh [build|test]" >&2
    exit 2
    ;;
esac

jobs=$(nproc)
source scripts/build-options.sh

# Wine as the build found it, with the build's prefix; the prefix is made
# once: the first Wine program would make it, and two suites starting at
# once would both make it (one of them fails). Making it takes a while, so
# the build step does it, where the test command runs it beside other work.
unpacked=""
use_wine() {
  wine=$(sed -n 's/^KESTROVA_WINE:FILEPATH=//p' build/windows/CMakeCache.txt)
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  export WINEPREFIX="$PWD/build/windows/wine"
  # Wine's server lingers a few seconds after the last program; end it
  # whatever way this script ends.
  trap '"$wineserver" -k 2>/dev/null || true; [ -z "$unpacked" ] || rm -rf "$unpacked"' EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init > /dev/null 2>&1 || true
    "$wineserver" -w
  fi
}

if [ "$what" != test ]; then
  echo "== Windows (MinGW-w64): build =="
  # -O2, as Windows programs are usually built: -O3 takes longer to compile
  # and gains nothing measurable here.
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
    -DKESTROVA_WITH_QT=OFF -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_BUILD_FUZZ=OFF -DKESTROVA_WERROR=ON \
    "${launcher_options[@]}"
  cmake --build build/windows -j "$jobs"
  use_wine
fi

if [ "$what" != build ]; then
  echo "== Windows (MinGW-w64): tests under Wine =="
  use_wine
  ctest --test-dir build/windows --output-on-failure -j "$jobs"

  echo "== kestrova-cli zip (cpack -G ZIP), its program under Wine =="
  (cd build/windows && cpack -G ZIP >/dev/null)
  zip=$(find build/windows -maxdepth 1 -name 'kestrova-cli-*.zip' -print -quit)
  [ -n "$zip" ] || { echo "windows-tests: cpack made no zip" >&2; exit 1; }
  unpacked=$(mktemp -d)
  unzip -q "$zip" -d "$unpacked"
  lines=$(WINEDEBUG=-all "$wine" "$unpacked"/kestrova-cli-*/kestrova-cli.exe \
    --simulate capture --frames 1 -o - | wc -l)
  [ "$lines" -eq 501 ] || { echo "windows-tests: the zipped kestrova-cli.exe captured $lines lines, expected 501" >&2; exit 1; }
  echo "windows-tests: $(basename "$zip") holds a working kestrova-cli.exe"

  echo "== kestrova-cli.exe serve under Wine, asked by PyVISA from the Linux side =="
  /usr/bin/python3 tests/server/serve_pyvisa_test.py --quick \
    env WINEDEBUG=-all "$wine" "$unpacked"/kestrova-cli-*/kestrova-cli.exe
fi
