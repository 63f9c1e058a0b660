#!/usr/bin/env bash
# Checks the install and the Debian package of a finished build (default
# build/release): `cmake --install` into a temporary DESTDIR holds exactly the
# program, desktop entry, icons, metainfo and udev rule; the desktop entry and
# metainfo validate; `cpack -G DEB` builds a package with the same files,
# depending on Qt 6 widgets and libftdi1 but not on the vendor library; and
# the unpacked program answers --version and the unpacked kestrova-cli
# captures a frame from the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build/release}
build_dir=$(cd "$build_dir" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check-install: $*" >&2
  exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build_dir/CMakeCache.txt"

expected=(
  usr/bin/kestrova
  usr/bin/kestrova-cli
  usr/lib/udev/rules.d/60-kestrova.rules
  usr/share/applications/org.kestrova.Kestrova.desktop
  usr/share/metainfo/org.kestrova.Kestrova.metainfo.xml
)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/kestrova.png")
done
printf '%s\n' "${expected[@]}" | sort >"$work/expected"

echo "== cmake --install into a temporary root =="
DESTDIR="$work/root" cmake --install "$build_dir" --prefix /usr >/dev/null
(cd "$work/root" && find . -type f -printf '%P\n' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "installed files differ from the expected list"
for size in 16 256; do
  file "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/kestrova.png" | grep -q "PNG image data, $size x $size" ||
    fail "the ${size}px icon is not a ${size}x${size} PNG"
done

echo "== desktop-file-validate, appstreamcli validate =="
desktop-file-validate "$work/root/usr/share/applications/org.kestrova.Kestrova.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.kestrova.Kestrova.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate failed"

echo "== cpack -G DEB =="
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(find "$work/package" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$deb" ] || fail "cpack made no .deb"
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort >"$work/packaged"
diff -u "$work/expected" "$work/packaged" || fail "the package's files differ from the install"

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends" || fail "the package does not depend on the Qt 6 widgets runtime"
grep -q 'libftdi1' <<<"$depends" || fail "the package does not depend on libftdi1"
if grep -qi 'ftd2xx' <<<"$depends"; then fail "the package depends on the vendor library"; fi

echo "== the packaged program answers --version =="
dpkg-deb -x "$deb" "$work/unpacked"
answer=$(QT_QPA_PLATFORM=offscreen "$work/unpacked/usr/bin/kestrova" --version)
[ "$answer" = "kestrova $version" ] || fail "--version answered '$answer', expected 'kestrova $version'"

cli_answer=$("$work/unpacked/usr/bin/kestrova-cli" --version)
[ "$cli_answer" = "kestrova-cli $version" ] ||
  fail "kestrova-cli --version answered '$cli_answer', expected 'kestrova-cli $version'"
lines=$("$work/unpacked/usr/bin/kestrova-cli" --simulate capture --frames 1 -o - | wc -l)
[ "$lines" -eq 501 ] || fail "the packaged kestrova-cli captured $lines lines, expected 501"
"$work/unpacked/usr/bin/kestrova-cli" serve --help | grep -q -- "--listen ADDR:PORT" ||
  fail "the packaged kestrova-cli has no instrument server (serve)"

echo "check-install: $(basename "$deb") is complete"
