#!/usr/bin/env bash
# Sets up the machine (once), builds, and runs the program's main job: the
# video kernel in its console host, publishing frames to the shared-memory
# channel. Stops on Ctrl+C, or after N seconds with --seconds N.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
bash "$root/scripts/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
exec "$root/scripts/wine-run.sh" "$build" "$build/bin/ZxVKernelHost.exe" "$@"
