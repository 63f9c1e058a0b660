#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Kestrova
# need. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache lld
  clang libclang-rt-14-dev clang-tidy clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  fonts-nanum fonts-dejavu-core
  libftdi1-dev desktop-file-utils appstream dpkg-dev file unzip
  g++-mingw-w64-x86-64-posix wine64 libz-mingw-w64-dev nsis
  libzip-dev sigrok-cli libcli11-dev
  python3-pyvisa python3-pyvisa-py
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
