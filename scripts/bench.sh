#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
bash "$root/scripts/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
# The preview benchmark draws in a window: the virtual display of the test
# harness is up while the benchmarks run.
bash "$root/scripts/harness.sh" start "$build" >/dev/null
trap 'bash "$root/scripts/harness.sh" stop "$build" >/dev/null' EXIT
for b in ZxKernelBench ZxEffectsBench ZxSlideBench ZxFilterBench ZxMediaBench ZxCameraBench ZxRecordBench ZxPreviewBench ZxAppIdleBench; do
  [ -f "$build/bin/$b.exe" ] && "$root/scripts/wine-run.sh" "$build" "$build/bin/$b.exe"
done
exit 0
