#!/usr/bin/env bash
# Sets up the machine (once), then configures and builds both trees:
# build/ (64-bit) and build/x86 (the 32-bit filter).
#
#   build.sh                 everything, the tests and benchmarks included
#   build.sh TARGET...       only those targets and what they need; the
#                            32-bit tree then builds only what
#                            ZX_X86_TARGETS names (everything when unset)
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
build="${ZX_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh" "$build"
# FFmpeg, x264 and LAME for the media library (cached; quick once built).
deps_prefix=$(bash "$root/scripts/deps.sh")
# Configure when there is no build yet or the media prefix changed.
if [ ! -f "$build/build.ninja" ] || \
   ! grep -qxF "ZX_DEPS_PREFIX:PATH=$deps_prefix" "$build/CMakeCache.txt" 2>/dev/null; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${ZX_BUILD_TYPE:-RelWithDebInfo}" \
    -DZX_DEPS_PREFIX="$deps_prefix"
fi
if [ $# -gt 0 ]; then
  cmake --build "$build" -j "$(nproc)" --target "$@"
else
  cmake --build "$build" -j "$(nproc)"
fi
