#!/usr/bin/env bash
# Cross-compiles everything for 64-bit Windows with MinGW-w64 and the static
# Qt for MinGW-w64 beside the repository (../shared/qt-mingw/6.4.2, or
# KESTROVA_QT_MINGW), and runs the tests under Wine: the layers' suites (the
# vendor backend against the fake Ftd2xx.dll built beside the device tests),
# the window's suites offscreen, and kestrova.exe itself on an Xvfb display.
# Then it packs the zip, the installer and the relinking archive and tries
# each under Wine. Wine keeps its prefix in the build folder
# (build/windows/wine), made once, after the build.
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
# The prefix's Windows\Fonts gets the fonts a Windows machine has there, a
# Latin one and one with Korean glyphs (the window's texts): Wine's own
# prefix has none, and Qt's offscreen platform reads that folder only.
unpacked=""
use_wine() {
  wine=$(sed -n 's/^KESTROVA_WINE:FILEPATH=//p' build/windows/CMakeCache.txt)
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  export WINEPREFIX="$PWD/build/windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine's server lingers a few seconds after the last program; end it
  # whatever way this script ends.
  trap '"$wineserver" -k 2>/dev/null || true; [ -z "$unpacked" ] || rm -rf "$unpacked"' EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init > /dev/null 2>&1 || true
    "$wineserver" -w
  fi
  for font in /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/nanum/NanumGothic.ttf; do
    [ -f "$font" ] || { echo "windows-tests: $font is missing (setup.sh installs it)" >&2; exit 1; }
    ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
}

if [ "$what" != test ]; then
  echo "== Windows (MinGW-w64): build =="
  # -O2, as Windows programs are usually built: -O3 takes longer to compile
  # and gains nothing measurable here.
  # Qt for MinGW-w64 is built once, static, beside the repository (see
  # ../shared/qt-mingw/README.md); KESTROVA_QT_MINGW names another place.
  qt=${KESTROVA_QT_MINGW:-../shared/qt-mingw/6.4.2}
  if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "windows-tests: no Qt for MinGW-w64 at $qt (expected beside the repository, or set KESTROVA_QT_MINGW)" >&2
    exit 1
  fi
  qt=$(cd "$qt" && pwd)
  # Qt's toolchain file finds its own packages and chain-loads ours; the
  # host's moc, rcc and uic (the same Qt version) do the code generation.
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DKESTROVA_BUILD_BENCH=OFF -DKESTROVA_BUILD_FUZZ=OFF -DKESTROVA_WERROR=ON \
    "${launcher_options[@]}"
  cmake --build build/windows -j "$jobs"
  cmake --build build/windows --target kestrova_relink_kit
  use_wine
fi

if [ "$what" != build ]; then
  echo "== Windows (MinGW-w64): tests under Wine =="
  use_wine
  # The window's suites draw offscreen; the end-to-end run shows kestrova.exe
  # with the windows platform plugin on a private Xvfb display, which the
  # whole run shares (a Wine prefix has one desktop). Wine is ended before
  # the display goes.
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c \
    'status=0; ctest --test-dir build/windows --output-on-failure -j "$1" || status=$?; "$2" -w; exit $status' \
    _ "$jobs" "$wineserver"

  echo "== Windows packages (cpack -G ZIP, NSIS), their programs under Wine =="
  (cd build/windows && cpack -G ZIP > /dev/null && cpack -G NSIS > /dev/null)
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
  name=kestrova-$version-windows-x64
  zip=build/windows/$name.zip
  setup=build/windows/$name-setup.exe
  relink=build/windows/$name-relink.zip
  for made in "$zip" "$setup" "$relink"; do
    [ -f "$made" ] || { echo "windows-tests: $made was not made" >&2; exit 1; }
  done
  unpacked=$(mktemp -d)
  unzip -q "$zip" -d "$unpacked"
  contents=$(cd "$unpacked/$name" && find . -type f | sort | tr '\n' ' ')
  expected="./LICENSES.txt ./README.txt ./kestrova-cli.exe ./kestrova.exe ./licenses/GPL-3.txt ./licenses/LGPL-3.txt "
  [ "$contents" = "$expected" ] || { echo "windows-tests: $name.zip holds $contents" >&2; exit 1; }
  lines=$("$wine" "$unpacked/$name/kestrova-cli.exe" --simulate capture --frames 1 -o - | wc -l)
  [ "$lines" -eq 501 ] || { echo "windows-tests: the zipped kestrova-cli.exe captured $lines lines, expected 501" >&2; exit 1; }
  shown=$("$wine" "$unpacked/$name/kestrova.exe" --version | tr -d '\r')
  [ "$shown" = "kestrova $version" ] || { echo "windows-tests: the zipped kestrova.exe --version said '$shown'" >&2; exit 1; }
  echo "windows-tests: $name.zip holds a working kestrova.exe and kestrova-cli.exe"

  # The relinking archive links a kestrova.exe that runs (Qt's LGPL).
  unzip -q "$relink" -d "$unpacked"
  QT="$(sed -n 's/^Qt6_DIR:PATH=//p' build/windows/CMakeCache.txt)/../../.." sh "$unpacked/$name-relink/link.sh"
  shown=$("$wine" "$unpacked/$name-relink/kestrova.exe" --version | tr -d '\r')
  [ "$shown" = "kestrova $version" ] || { echo "windows-tests: the relinked kestrova.exe --version said '$shown'" >&2; exit 1; }
  echo "windows-tests: $name-relink.zip links a working kestrova.exe"

  echo "== kestrova-cli.exe serve under Wine, asked by PyVISA from the Linux side =="
  /usr/bin/python3 tests/server/serve_pyvisa_test.py --quick \
    env WINEDEBUG=-all "$wine" "$unpacked/$name/kestrova-cli.exe"

  # The installer, silently, as an administrator's script runs it: both
  # programs under Program Files, the Start-menu entry, the uninstaller in
  # the programs list; then the uninstaller takes them away again.
  installed="$WINEPREFIX/drive_c/Program Files/Kestrova"
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrova'
  "$wine" "$setup" /S
  "$wineserver" -w
  for file in kestrova.exe kestrova-cli.exe Uninstall.exe; do
    [ -f "$installed/$file" ] || { echo "windows-tests: the installer put no $file in Program Files\\Kestrova" >&2; exit 1; }
  done
  link=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kestrova/Kestrova.lnk' -print -quit)
  [ -n "$link" ] || { echo "windows-tests: the installer made no Start-menu entry Kestrova" >&2; exit 1; }
  "$wine" reg query "$uninstall_key" /v UninstallString > /dev/null ||
    { echo "windows-tests: the installer left no uninstaller in the programs list" >&2; exit 1; }
  listed=$("$wine" "C:\\Program Files\\Kestrova\\kestrova-cli.exe" --simulate list | tr -d '\r')
  [[ "$listed" == SIM00001* ]] || { echo "windows-tests: the installed kestrova-cli.exe listed '$listed'" >&2; exit 1; }
  "$wine" "C:\\Program Files\\Kestrova\\Uninstall.exe" /S
  "$wineserver" -w
  [ ! -e "$installed/kestrova.exe" ] && [ ! -e "$installed/kestrova-cli.exe" ] && [ ! -e "$link" ] ||
    { echo "windows-tests: the uninstaller left the programs or the Start-menu entry" >&2; exit 1; }
  if "$wine" reg query "$uninstall_key" > /dev/null 2>&1; then
    echo "windows-tests: the uninstaller left its entry in the programs list" >&2
    exit 1
  fi
  echo "windows-tests: $name-setup.exe installs, runs and uninstalls silently"
fi
