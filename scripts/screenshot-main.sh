#!/usr/bin/env bash
# Screenshots of the main window, under the build folder's virtual display:
# idle (the default picture with the open-camera button), with the test
# camera open, while recording video (the bar over the picture), and the
# tray menu; the effects page with the camera open and a filter, the
# caption and a border chosen through it, on each of its three pages; the
# video-source page with its lists filled, a context menu, and the record
# preview of a video, a sound and a photo. The window is the program's own,
# built by ZxMainDemo.exe (a
# test tool) with the kernel loaded; user folders are temporary and the test
# camera and microphone are registered in the prefix only for the run.
# Usage: screenshot-main.sh BUILD_DIR [OUTPUT_FOLDER]   (default docs/)
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
ZX_HARNESS=$(readlink -m "${1:?usage: screenshot-main.sh BUILD_DIR [OUTPUT_FOLDER]}")
out=$(readlink -m "${2:-$here/../docs}")
exe="$ZX_HARNESS/bin/ZxMainDemo.exe"
[ -f "$exe" ] || { echo "screenshot: $exe not built (cmake --build $ZX_HARNESS --target ZxMainDemo)" >&2; exit 1; }

source "$here/display.sh"
zx_display_up
work="$ZX_HARNESS/scratch/screenshot-main"
mkdir -p "$out"

# shot NAME DEMO WIDTH HEIGHT [EXIT_AFTER_MS]
shot() {
  local name=$1 demo=$2 w=$3 h=$4
  rm -rf "$work/$name"
  mkdir -p "$work/$name/data" "$work/$name/cache" "$work/$name/log"
  local log="$work/$name.out"
  # The line of an earlier run must not count as this run's.
  rm -f "$log"
  ZXVCAM_DATA_DIR="$(zx_winpath "$work/$name/data")\\" ZXVCAM_CACHE_DIR="$(zx_winpath "$work/$name/cache")\\" \
  ZXVCAM_LOG_DIR="$(zx_winpath "$work/$name/log")\\" \
    "$ZX_WINE" "$exe" --demo "$demo" --at 0,0 --exit-after "${5:-12000}" >"$log" 2>&1 &
  local pid=$!
  # The moment is on the screen when the demo says so; the video-source
  # moments first record their media, which takes much longer on a loaded
  # machine, so there is no fixed limit: only the demo ending without the
  # line (it ends by itself after --exit-after) stops the wait. A picture
  # taken before the line would show an empty screen.
  while ! grep -q "demo shown" "$log" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "screenshot: $name: the demo ended without showing its moment (see $log); $out/$name.png not taken" >&2
      failed=1
      return 0
    fi
    sleep 0.1
  done
  # The demo has painted its windows before the line; a moment for the X
  # server to take what Wine sent.
  sleep 0.5
  import -display "$DISPLAY" -window root -crop "${w}x${h}+0+0" +repage "$out/$name.png"
  # The demo ends by itself, so it removes the test devices it registered.
  wait "$pid" 2>/dev/null || true
}
failed=0

shot main-idle idle 940 566
shot main-camera camera 940 566
shot main-recording record 940 566
shot main-tray tray 940 640
shot main-effect-filter filter 940 566
shot main-effect-caption caption 940 566
shot main-effect-border border 940 566
# The video-source moments make their media first (about 12 s).
for demo in vsrc-media vsrc-slides vsrc-videos vsrc-audio vsrc-photos vsrc-menu preview-video preview-audio preview-photo; do
  shot "main-$demo" "$demo" 940 566 40000
done
zx_display_down
echo "screenshot: $out/main-*.png"
exit "$failed"
