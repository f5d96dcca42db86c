#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine, with the machine's load average
# before and after (the figures are only comparable on a quiet machine; the
# ratios to a frame copy of the same run travel better).
#
# The launcher's "Path" value (written by the installer, so by
# scripts/run.sh) is set aside for the run and put back on every exit,
# Ctrl+C included: with it set, the filter benchmark's graph would start the
# installed program.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
here="$root/scripts"
benches=(ZxKernelBench ZxEffectsBench ZxSlideBench ZxFilterBench ZxMediaBench ZxCameraBench ZxRecordBench ZxPreviewBench
  ZxAppIdleBench)
# The benchmarks and what they need (the program, the test camera, the
# scaler's reference pictures), nothing else.
bash "$here/build.sh" "${benches[@]}"
build="${ZX_BUILD_DIR:-$root/build}"
export ZX_HARNESS="$build"
source "$here/display.sh"
# The preview benchmark draws in a window: the virtual display of the test
# harness is up while the benchmarks run (started here only when it is not).
zx_display_up

finished=0
cleanup() {
  [ "$finished" = 1 ] && return
  finished=1
  set +e
  zx_path_restore
  zx_display_down
}
trap cleanup EXIT
trap 'echo "bench: interrupted" >&2; exit 130' INT TERM
zx_path_aside
if [ "$zx_path_had" = 1 ]; then echo "bench: the launcher's Path ($zx_path_saved) is set aside for the run"; fi

echo "bench: load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
status=0
for b in "${benches[@]}"; do
  if [ -f "$build/bin/$b.exe" ]; then
    "$here/wine-run.sh" "$build" "$build/bin/$b.exe" || { echo "bench: $b failed ($?)" >&2; status=1; }
  fi
done
echo "bench: load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
