#!/usr/bin/env bash
# Sets up the machine (once), builds, and runs every test under Wine.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
bash "$root/scripts/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
cd "$build"
# Two suites at a time: suites that share the real channel, the program's
# names, the filter's registration, the test devices or the display hold
# resource locks (cmake/ZxCommon.cmake), so ctest never runs two of them at
# once. ZX_TEST_JOBS changes the number.
ctest --output-on-failure --timeout 600 -j "${ZX_TEST_JOBS:-2}" "$@"
