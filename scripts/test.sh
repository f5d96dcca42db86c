#!/usr/bin/env bash
# Sets up the machine (once), builds, and runs every test under Wine.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
bash "$root/scripts/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
