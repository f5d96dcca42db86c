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

# Use the running harness of the folder, or start one for this run.
source "$here/display.sh"
zx_display_up
mkdir -p "$ZX_HARNESS/scratch/screenshot" "$(dirname "$out")"
export ZXVCAM_LOG_DIR="$(zx_winpath "$ZX_HARNESS/scratch/screenshot")"

"$ZX_WINE" "$exe" --bench

log="$ZX_HARNESS/scratch/screenshot/gallery.out"
"$ZX_WINE" "$exe" --at 0,0 --menu-at 250,515 --exit-after 10000 >"$log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q "gallery shown" "$log" 2>/dev/null && break
  sleep 0.1
done
sleep 2
import -display "$DISPLAY" -window root -crop 900x620+0+0 +repage "$out"
wait "$pid" || true

# The own controls: the mouse rests on the top of the ninth tile (row 2,
# column 4), so its tool tip covers the thumbnail and not the texts.
out2="${out%.png}-controls.png"
log2="$ZX_HARNESS/scratch/screenshot/controls.out"
"$ZX_WINE" "$exe" --controls --at 0,0 --demo 300,184 --exit-after 10000 >"$log2" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q "gallery shown" "$log2" 2>/dev/null && break
  sleep 0.1
done
sleep 2
import -display "$DISPLAY" -window root -crop 760x500+0+0 +repage "$out2"
wait "$pid" || true
zx_display_down
echo "screenshot: $out $out2"
