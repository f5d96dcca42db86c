#!/usr/bin/env bash
# Sets up the machine (once), then configures and builds both trees:
# build/ (64-bit, everything) and build/x86 (the 32-bit filter).
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
build="${ZX_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh" "$build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${ZX_BUILD_TYPE:-RelWithDebInfo}"
fi
cmake --build "$build" -j "$(nproc)"
