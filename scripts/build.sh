#!/usr/bin/env bash
# Sets up the machine (once), then configures and builds both trees:
# build/ (64-bit) and build/x86 (the 32-bit filter).
#
#   build.sh                 everything, the tests and benchmarks included
#   build.sh TARGET...       only those targets and what they need; the
#                            32-bit tree then builds only what
#                            ZX_X86_TARGETS names (everything when unset)
#
# On a fresh machine the media libraries (scripts/deps.sh) take minutes, much
# of it on one core: meanwhile the build folder's Wine prefix is made and the
# parts that do not need those libraries are built (ZxWithoutMedia).
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
# Where ccache is the compiler launcher: it caches files built with the
# tree's precompiled header only when told that the header's macros and
# time stamps do not matter (the header is hashed whole).
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
build="${ZX_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
mkdir -p "$build/harness"
# The Wine prefix, beside the build (the build itself never runs Wine).
bash "$root/scripts/wine-prefix.sh" "$build" >"$build/harness/prefix.log" 2>&1 &
prefix_pid=$!
# Never leave a half-made prefix behind when the build stops early.
trap 'wait "$prefix_pid" 2>/dev/null || true' EXIT
prefix_ready() {
  wait "$prefix_pid" || { cat "$build/harness/prefix.log" >&2; echo "build: the Wine prefix could not be made" >&2; exit 1; }
}

configure() {  # configures when there is no build yet or the media prefix changed
  if [ ! -f "$build/build.ninja" ] || \
     ! grep -qxF "ZX_DEPS_PREFIX:PATH=$1" "$build/CMakeCache.txt" 2>/dev/null; then
    cmake -S "$root" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE="${ZX_BUILD_TYPE:-RelWithDebInfo}" \
      -DZX_DEPS_PREFIX="$1"
  fi
}

# FFmpeg, x264 and LAME for the media library (cached; quick once built).
status=0
deps_prefix=$(bash "$root/scripts/deps.sh" --where) || status=$?
if [ "$status" = 3 ]; then
  bash "$root/scripts/deps.sh" >/dev/null &
  deps_pid=$!
  ZX_DEPS_PENDING=1 configure "$deps_prefix"
  echo "build: building what does not need the media libraries while they are built"
  # The media libraries are the longer road, so they come first: this build
  # runs at the lowest priority and takes the cores whenever they wait (their
  # configure scripts run on one core). A failure here shows again, with its
  # cause, in the build below.
  nice -n 19 cmake --build "$build" -j "$(nproc)" --target ZxWithoutMedia || \
    echo "build: the parts without the media libraries stopped; going on once those are built" >&2
  wait "$deps_pid" || { echo "build: the media libraries failed (scripts/deps.sh)" >&2; exit 1; }
elif [ "$status" != 0 ]; then
  echo "build: scripts/deps.sh --where failed" >&2
  exit 1
fi
configure "$deps_prefix"
if [ $# -gt 0 ]; then
  cmake --build "$build" -j "$(nproc)" --target "$@"
else
  cmake --build "$build" -j "$(nproc)"
fi
prefix_ready
