#!/usr/bin/env bash
# Installs everything the build, the tests and running need, with apt-get,
# and prepares the Wine prefix of a build folder when one is named.
# Idempotent: what is already there is skipped at once.
# Usage: setup.sh [BUILD_DIR]
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
prefix_for="${1:-}"
prepare_prefix() {
  if [ -n "$prefix_for" ]; then
    mkdir -p "$prefix_for"
    "$here/wine-prefix.sh" "$prefix_for"
  fi
}

PACKAGES=(
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
  wine wine64 wine32:i386 xvfb xauth x11-utils
  cmake ninja-build pkg-config nasm
  fonts-wqy-microhei imagemagick googletest python3 python3-pil
  sox espeak-ng nsis
  # Wine's own fonts: Marlett draws the caption buttons, check marks and
  # arrows of standard windows (only recommended by wine, so
  # --no-install-recommends would leave it out and they show as letters;
  # wine-prefix.sh puts it into each prefix).
  fonts-wine
  clang libclang-rt-14-dev
)

missing=()
have_i386=0
dpkg --print-foreign-architectures 2>/dev/null | grep -qx i386 && have_i386=1
if [ "$have_i386" = 1 ]; then
  for p in "${PACKAGES[@]}"; do
    # dpkg-query answers "install ok installed" only for a fully installed package.
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
else
  missing=("${PACKAGES[@]}")
fi

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all packages present"
  prepare_prefix
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "setup: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "$have_i386" = 0 ]; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
prepare_prefix
echo "setup: done"
