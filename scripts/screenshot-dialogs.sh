#!/usr/bin/env bash
# Screenshots of the program's dialogs as the program shows them (kernel
# loaded, background skin applied), under the build folder's virtual
# display: docs/dialog-setup.png (both pages side by side),
# docs/dialog-skins.png, docs/dialog-clips.png and docs/dialog-tip.png.
# User folders are temporary, so the machine's own settings stay untouched.
# Usage: screenshot-dialogs.sh BUILD_DIR [OUTPUT_FOLDER] [SKIN_ID]
#   (default docs/ and skin 0, the one a new user starts with)
# Needs the built DialogShow.exe (target DialogShow) and ImageMagick.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
ZX_HARNESS=$(readlink -m "${1:?usage: screenshot-dialogs.sh BUILD_DIR [OUTPUT_FOLDER] [SKIN_ID]}")
out=$(readlink -m "${2:-$here/../docs}")
skin=${3:-0}
exe="$ZX_HARNESS/bin/DialogShow.exe"
[ -f "$exe" ] || { echo "screenshot: $exe not built (cmake --build $ZX_HARNESS --target DialogShow)" >&2; exit 1; }

source "$here/display.sh"
zx_display_up
work="$ZX_HARNESS/scratch/screenshot-dialogs"
rm -rf "$work"
mkdir -p "$work/data" "$work/cache" "$work/log" "$out"
export ZXVCAM_DATA_DIR="$(zx_winpath "$work/data")\\"
export ZXVCAM_CACHE_DIR="$(zx_winpath "$work/cache")\\"
export ZXVCAM_LOG_DIR="$(zx_winpath "$work/log")\\"

# shot NAME WIDTH HEIGHT DIALOG-ARGS...: the window at (0, 0), cropped.
shot() {
  local name=$1 w=$2 h=$3; shift 3
  local log="$work/$name.out"
  "$ZX_WINE" "$exe" --at 0,0 --skin "$skin" --exit-after 15000 "$@" >"$log" 2>&1 &
  local pid=$!
  for _ in $(seq 150); do
    grep -q "dialog shown" "$log" 2>/dev/null && break
    sleep 0.1
  done
  sleep 1
  import -display "$DISPLAY" -window root -crop "${w}x${h}+0+0" +repage "$work/$name.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

shot setup 540 460 --dialog setup
shot setup-voice 540 460 --dialog setup-voice
shot skins 470 392 --dialog skins --mouse 180,110
shot clips 456 184 --dialog clips --mouse 84,78
shot tip 360 184 --dialog tip --text "打开摄像头失败"

# The two setup pages side by side on the program's base colour.
convert "$work/setup.png" "$work/setup-voice.png" -background '#0B111C' -splice 12x0 +append -chop 12x0 \
  "$out/dialog-setup.png"
cp "$work/skins.png" "$out/dialog-skins.png"
cp "$work/clips.png" "$out/dialog-clips.png"
cp "$work/tip.png" "$out/dialog-tip.png"
zx_display_down
echo "screenshot: $out/dialog-setup.png $out/dialog-skins.png $out/dialog-clips.png $out/dialog-tip.png"
