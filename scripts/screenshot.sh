#!/usr/bin/env bash
# Screenshot of the DuiLib gallery under the build folder's virtual display,
# and the painting figures of its benchmark; then one of the gallery's window
# of the program's own controls (its tile layout with a multi-selection, the
# frame of the tile under the mouse and the time texts) beside it, named
# like the first with "-controls" added (default docs/gallery-controls.png).
# Usage: screenshot.sh BUILD_DIR [OUTPUT_PNG]   (default docs/gallery.png)
# Needs the built Gallery.exe (target Gallery) and ImageMagick's "import".
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
ZX_HARNESS=$(readlink -m "${1:?usage: screenshot.sh BUILD_DIR [OUTPUT_PNG]}")
out=$(readlink -m "${2:-$here/../docs/gallery.png}")
exe="$ZX_HARNESS/bin/Gallery.exe"
[ -f "$exe" ] || { echo "screenshot: $exe not built (cmake --build $ZX_HARNESS --target Gallery)" >&2; exit 1; }

source "$here/screenshot-lib.sh"
trap zx_shots_done EXIT
mkdir -p "$ZX_HARNESS/scratch/screenshot" "$(dirname "$out")"
export ZXVCAM_LOG_DIR="$(zx_winpath "$ZX_HARNESS/scratch/screenshot")"

"$ZX_WINE" "$exe" --bench

zx_shot "$out" "$ZX_HARNESS/scratch/screenshot/gallery.out" "gallery shown" 900 620 \
  "$ZX_WINE" "$exe" --at 0,0 --menu-at 250,515 --exit-after 10000

# The own controls: the mouse rests on the top of the ninth tile (row 2,
# column 4), so its tool tip covers the thumbnail and not the texts.
out2="${out%.png}-controls.png"
zx_shot "$out2" "$ZX_HARNESS/scratch/screenshot/controls.out" "gallery shown" 760 500 \
  "$ZX_WINE" "$exe" --controls --at 0,0 --demo 300,184 --exit-after 10000
echo "screenshot: $out $out2"
