#!/usr/bin/env bash
# Sets up the machine (once), builds, and runs the program as a user runs
# it: the build's installer (build/package/ZxVCamSetup.exe) installs it
# silently into the build's Wine prefix, as a user's installer does (both
# filters registered, each by its own regsvr32, and the launcher's "Path"
# value), and the installed ZxVCam.exe is started on the current display,
# or on the build's virtual display when there is none.
#
#   run.sh                  runs until the program is closed
#   run.sh --seconds N      after N seconds: a screenshot of the main window
#                           (build/run/main.png); a video-call-like client in
#                           another process (ZxCamCheck) opens the camera
#                           "ZXVCam", counts the program's frames and saves
#                           one (build/run/client.bmp, checked for the logo);
#                           then the program ends through its tray menu
#                           ("退出"), as a user ends it
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
seconds=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    *) echo "usage: run.sh [--seconds N]" >&2; exit 2 ;;
  esac
done
# Only what runs here: the program (with its kernel, libraries and crash
# reporter), both filters and the camera check (the installer carries them),
# the installer itself and the control tool; scripts/test.sh builds the rest.
ZX_X86_TARGETS="ZxCamSrc ZxCamCheck" bash "$root/scripts/build.sh" ZxVCamPackages ZxVCamCtl
build="${ZX_BUILD_DIR:-$root/build}"
export ZX_HARNESS="$build"
here="$root/scripts"

virtual=0
if [ -z "${DISPLAY:-}" ]; then
  bash "$here/harness.sh" start "$build" >/dev/null
  virtual=1
else
  "$here/wine-prefix.sh" "$build" >/dev/null
fi
source "$here/wine-env.sh"
finish() { [ "$virtual" = 1 ] && bash "$here/harness.sh" stop "$build" >/dev/null || true; }
trap finish EXIT

# The installer does not start another copy of itself, so wine returns when
# it has ended; a regsvr32 that failed shows in its exit code.
"$ZX_WINE" "$(zx_winpath "$build/package/ZxVCamSetup.exe")" /S
installed='C:\Program Files\ZxVCam'
echo "run: installed into $installed"
program_exe="$installed\ZxVCam.exe"
check_exe="$installed\ZxCamCheck.exe"

mkdir -p "$build/run"
if [ "$seconds" = 0 ]; then
  exec "$ZX_WINE" "$program_exe"
fi

"$ZX_WINE" "$program_exe" >"$build/run/program.out" 2>&1 &
program=$!
geometry=$("$ZX_WINE" "$build/bin/ZxVCamCtl.exe" wait 60 | tr -d '\r')
echo "run: $geometry"
sleep "$seconds"
read -r _ x y w h <<<"$geometry"
import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$build/run/main.png"
echo "run: screenshot $build/run/main.png"
client=0
# Into a file, not a pipe: under Wine a program the camera starts would hold
# a pipe's write end open.
"$ZX_WINE" "$check_exe" --frames 40 --save "$(zx_winpath "$build/run/client.bmp")" >"$build/run/client.txt" 2>&1 || client=1
tr -d '\r' <"$build/run/client.txt" | grep -E '^(camera|program|fps|frames|frame-age-ms|picture|saved|result):' | sed 's/^/run: client /' || true
# The logo's plain lower-left block (5 pixels in from the corner) shows
# the client got the program's finished frames.
if /usr/bin/python3 - "$build/run/client.bmp" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
w, h = im.size
px = [im.getpixel((x, h - 1 - y)) for x in range(6, 13) for y in range(6, 13)]
ok = all(abs(r - 240) < 24 and abs(g - 130) < 24 and b < 50 for r, g, b in px)
print("run: client picture %dx%d, logo %s" % (w, h, "present" if ok else "MISSING"))
sys.exit(0 if ok else 1)
PY
then :; else client=1; fi
"$ZX_WINE" "$build/bin/ZxVCamCtl.exe" tray-exit
status=0
wait "$program" || status=$?
echo "run: ZxVCam.exe ended with exit code $status"
[ "$status" = 0 ] && [ "$client" = 0 ]
