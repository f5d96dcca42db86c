#!/usr/bin/env bash
# Screenshots of the program's dialogs as the program shows them (kernel
# loaded, background skin applied), under the build folder's virtual
# display: docs/dialog-setup.png (both pages side by side),
# docs/dialog-skins.png, docs/dialog-clips.png and docs/dialog-tip.png.
# User folders are temporary, so the machine's own settings stay untouched.
# Usage: screenshot-dialogs.sh BUILD_DIR [OUTPUT_FOLDER] [SKIN_ID] [--lang en]
#   (default docs/ and skin 0, the one a new user starts with)
# Needs the built DialogShow.exe (target DialogShow) and ImageMagick.
# With --scale PERCENT (after SKIN_ID) the screen is at that scale and the
# pictures are named dialog-NAME-PERCENT.png.
set -euo pipefail
# --lang zh|en (anywhere after BUILD_DIR): the language the program speaks
# (ZXVCAM_LANG) instead of Chinese.
args=()
while [ $# -gt 0 ]; do
  if [ "$1" = --lang ]; then export ZXVCAM_LANG=${2:?--lang zh|en}; shift 2; else args+=("$1"); shift; fi
done
set -- "${args[@]}"
here=$(dirname "$(readlink -f "$0")")
ZX_HARNESS=$(readlink -m "${1:?usage: screenshot-dialogs.sh BUILD_DIR [OUTPUT_FOLDER] [SKIN_ID] [--scale PERCENT]}")
out=$(readlink -m "${2:-$here/../docs}")
skin=${3:-0}
scale=100
if [ "${4:-}" = --scale ]; then scale=${5:?--scale PERCENT}; fi
exe="$ZX_HARNESS/bin/DialogShow.exe"
[ -f "$exe" ] || { echo "screenshot: $exe not built (cmake --build $ZX_HARNESS --target DialogShow)" >&2; exit 1; }

source "$here/screenshot-lib.sh"
trap zx_shots_done EXIT
zx_scale_set "$scale"
suffix=""
[ "$scale" = 100 ] || suffix="-$scale"
work="$ZX_HARNESS/scratch/screenshot-dialogs"
rm -rf "$work"
mkdir -p "$work/data" "$work/cache" "$work/log" "$out"
export ZXVCAM_DATA_DIR="$(zx_winpath "$work/data")\\"
export ZXVCAM_CACHE_DIR="$(zx_winpath "$work/cache")\\"
export ZXVCAM_LOG_DIR="$(zx_winpath "$work/log")\\"
zx_shot_end=kill

# shot NAME WIDTH HEIGHT DIALOG-ARGS...: the window at (0, 0), cropped (the
# size at 100 %; mouse positions too).
shot() {
  local name=$1 w=$2 h=$3; shift 3
  zx_shot "$work/$name.png" "$work/$name.out" "dialog shown" "$(zx_px "$w")" "$(zx_px "$h")" \
    "$ZX_WINE" "$exe" --at 0,0 --skin "$skin" --exit-after 15000 "$@"
}
# A mouse position at 100 % at the run's scale.
at() { echo "$(zx_px "${1%,*}"),$(zx_px "${1#*,}")"; }

shot setup 540 504 --dialog setup
shot setup-voice 540 504 --dialog setup-voice
shot skins 470 392 --dialog skins --mouse "$(at 180,110)"
shot clips 456 184 --dialog clips --mouse "$(at 84,78)"
tip="打开摄像头失败"
[ "${ZXVCAM_LANG:-zh}" = en ] && tip="The camera could not be opened"
shot tip 360 184 --dialog tip --text "$tip"

# The two setup pages side by side on the program's base colour.
gap=$(zx_px 12)
convert "$work/setup.png" "$work/setup-voice.png" -background '#0B111C' -splice "${gap}x0" +append -chop "${gap}x0" \
  "$out/dialog-setup$suffix.png"
cp "$work/skins.png" "$out/dialog-skins$suffix.png"
cp "$work/clips.png" "$out/dialog-clips$suffix.png"
cp "$work/tip.png" "$out/dialog-tip$suffix.png"
echo "screenshot: $out/dialog-*$suffix.png"
