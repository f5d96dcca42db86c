#!/usr/bin/env bash
# Screenshot of the crash report window as a user sees it after a crash of
# ZxVCam.exe, under the build folder's virtual display: docs/crash-report.png.
# A real crash makes the dump: ZxCrashProbe.exe (the crash handler linked as
# the program links it) faults in a scratch program folder; its dump is then
# filed in the prefix's per-user log folder under the name a crash of
# ZxVCam.exe at that moment gets, and DumpReport.exe is started with that
# stamp, as the handler starts it. The dump is removed again afterwards.
# Usage: screenshot-crash.sh BUILD_DIR [OUTPUT_FOLDER]   (default docs/)
# Needs the targets DumpReport and ZxCrashProbe, and ImageMagick.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
ZX_HARNESS=$(readlink -m "${1:?usage: screenshot-crash.sh BUILD_DIR [OUTPUT_FOLDER]}")
out=$(readlink -m "${2:-$here/../docs}")
bin="$ZX_HARNESS/bin"
for exe in DumpReport ZxCrashProbe; do
  [ -f "$bin/$exe.exe" ] || { echo "screenshot: $bin/$exe.exe not built (cmake --build $ZX_HARNESS --target $exe)" >&2; exit 1; }
done

source "$here/screenshot-lib.sh"
work="$ZX_HARNESS/scratch/screenshot-crash"
rm -rf "$work"
mkdir -p "$work/program" "$out"

# The crash; the program folder holds no report program, so none starts yet.
"$ZX_WINE" "$bin/ZxCrashProbe.exe" --program-dir "$(zx_winpath "$work/program")" fault >/dev/null 2>&1 || true
dump=$(ls "$work/program/"*_ZxCrashProbe.exe.dmp 2>/dev/null | head -1)
[ -n "$dump" ] || { echo "screenshot: the probe left no dump" >&2; exit 1; }
digits=$(basename "$dump" | cut -c1-17)
stamp="${digits}_ZxVCam"
logdir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/ZxVCam/Log"
mkdir -p "$logdir"
mv "$dump" "$logdir/$stamp.exe.dmp"
pid=""
cleanup() {
  set +e
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
  rm -f "$logdir/$stamp.exe.dmp"
  zx_shots_done
}
trap cleanup EXIT

"$ZX_WINE" "$bin/DumpReport.exe" "\\$stamp" >"$work/report.out" 2>&1 &
pid=$!
geometry=""
for _ in $(seq 150); do
  geometry=$(xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -i '"dumpreport.exe"' | grep ' 470x286+' | head -1 |
             grep -o '470x286+[0-9-]*+[0-9-]*' || true)
  [ -n "$geometry" ] && break
  sleep 0.1
done
[ -n "$geometry" ] || { echo "screenshot: no report window" >&2; exit 1; }
w=${geometry%%x*} rest=${geometry#*x}
h=${rest%%+*} rest=${rest#*+}
zx_grab "$out/crash-report.png" "$w" "$h" "${rest%+*}" "${rest#*+}"
echo "screenshot: $out/crash-report.png"
