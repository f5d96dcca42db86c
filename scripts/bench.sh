#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
bash "$root/scripts/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
for b in ZxKernelBench ZxEffectsBench ZxSlideBench ZxFilterBench ZxMediaBench ZxCameraBench ZxRecordBench; do
  [ -f "$build/bin/$b.exe" ] && "$root/scripts/wine-run.sh" "$build" "$build/bin/$b.exe"
done
exit 0
