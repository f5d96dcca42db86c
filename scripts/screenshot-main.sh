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
# Usage: screenshot-main.sh BUILD_DIR [OUTPUT_FOLDER] [--scale PERCENT] [--lang en] [MOMENT...]
#   (default docs/, 100 %, every moment; at another scale the pictures are
#   named main-MOMENT-PERCENT.png)
set -euo pipefail
# --lang zh|en (anywhere after BUILD_DIR): the language the program speaks
# (ZXVCAM_LANG) instead of Chinese.
args=()
while [ $# -gt 0 ]; do
  if [ "$1" = --lang ]; then export ZXVCAM_LANG=${2:?--lang zh|en}; shift 2; else args+=("$1"); shift; fi
done
set -- "${args[@]}"
here=$(dirname "$(readlink -f "$0")")
ZX_HARNESS=$(readlink -m "${1:?usage: screenshot-main.sh BUILD_DIR [OUTPUT_FOLDER] [--scale PERCENT] [MOMENT...]}")
shift
out=$here/../docs
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then out=$1; shift; fi
out=$(readlink -m "$out")
scale=100
if [ "${1:-}" = --scale ]; then scale=${2:?--scale PERCENT}; shift 2; fi
moments=("$@")
exe="$ZX_HARNESS/bin/ZxMainDemo.exe"
[ -f "$exe" ] || { echo "screenshot: $exe not built (cmake --build $ZX_HARNESS --target ZxMainDemo)" >&2; exit 1; }

source "$here/screenshot-lib.sh"
trap zx_shots_done EXIT
zx_scale_set "$scale"
suffix=""
[ "$scale" = 100 ] || suffix="-$scale"
work="$ZX_HARNESS/scratch/screenshot-main"
mkdir -p "$out"

# shot NAME DEMO WIDTH HEIGHT [EXIT_AFTER_MS]: the window at (0, 0); the
# size at 100 %. The demo ends itself (and so removes the test devices it
# registered) after EXIT_AFTER_MS, which leaves time to grab the window on a
# loaded machine too. The video-source moments first record their media, which
# takes much longer on a loaded machine, so the wait has no limit but the
# demo ending (by itself, after --exit-after) without showing its moment.
shot() {
  local name=$1 demo=$2 w=$3 h=$4
  if [ ${#moments[@]} -gt 0 ] && [[ ! " ${moments[*]} " == *" $demo "* ]]; then return 0; fi
  rm -rf "$work/$name"
  mkdir -p "$work/$name/data" "$work/$name/cache" "$work/$name/log"
  ZXVCAM_DATA_DIR="$(zx_winpath "$work/$name/data")\\" ZXVCAM_CACHE_DIR="$(zx_winpath "$work/$name/cache")\\" \
  ZXVCAM_LOG_DIR="$(zx_winpath "$work/$name/log")\\" \
    zx_shot "$out/$name$suffix.png" "$work/$name.out" "demo shown" "$(zx_px "$w")" "$(zx_px "$h")" \
      "$ZX_WINE" "$exe" --demo "$demo" --at 0,0 --exit-after "${5:-20000}" || failed=1
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
echo "screenshot: $out/main-*$suffix.png"
exit "$failed"
