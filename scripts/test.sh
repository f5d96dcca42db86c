#!/usr/bin/env bash
# Sets up the machine (once), builds, and runs every test under Wine.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
bash "$root/scripts/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
cd "$build"
# A test that fails is run once more before it counts as failed: two suites
# measure live streams across processes (four camera clients at once; a
# recording of a given length played to its end) and have failed once each
# on a machine loaded by other builds (see the issue notes). The retry goes
# once the reliability work makes them independent of the load.
ctest --output-on-failure --timeout 600 --repeat until-pass:2 "$@"
