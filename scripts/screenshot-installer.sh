#!/usr/bin/env bash
# Screenshots of what a user of the installer sees, from a fresh Wine prefix
# under the build folder, on the build folder's virtual display (docs/):
#   installer-welcome.png, installer-folder.png, installer-installing.png
#   (the files page once done), installer-finish.png;
#   camera-check.png: the installed check tool's window, started as its
#   Start-menu shortcut starts it, with the live picture of the program the
#   camera started and the figures;
#   uninstaller.png: the uninstaller's page with the box that also removes
#   the user's recordings, lists and settings (then cancelled).
# The pages are stepped by WinStep (tools/winstep) with the messages a click
# sends. Usage: screenshot-installer.sh BUILD_DIR [OUTPUT_FOLDER] [--scale PERCENT]
# (at another scale than 100 % the pictures are named NAME-PERCENT.png).
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
build=$(readlink -m "${1:?usage: screenshot-installer.sh BUILD_DIR [OUTPUT_FOLDER]}")
out=$(readlink -m "${2:-$here/../docs}")
scale=100
if [ "${3:-}" = --scale ]; then scale=${4:?--scale PERCENT}; fi
suffix=""
[ "$scale" = 100 ] || suffix="-$scale"
setup="$build/package/ZxVCamSetup.exe"
stepper="$build/bin/WinStep.exe"
for f in "$setup" "$stepper"; do
  [ -f "$f" ] || { echo "screenshot-installer: $f not built (cmake --build $build)" >&2; exit 1; }
done
mkdir -p "$out"

# The display of the build folder's harness (started for this run if need be).
ZX_HARNESS="$build"
source "$here/screenshot-lib.sh"
display=$DISPLAY

# A fresh prefix of its own, as a user's first installation.
work="$build/screenshot-installer"
[ -d "$work/wineprefix" ] && WINEPREFIX="$work/wineprefix" /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
rm -rf "$work"
mkdir -p "$work"
bash "$here/wine-prefix.sh" "$work" >/dev/null
ZX_HARNESS="$work"
source "$here/wine-env.sh"
export DISPLAY=$display
# The fresh prefix at the run's scale (it goes with the prefix).
zx_scale_set "$scale"
zx_scale_saved=""
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  ZX_HARNESS="$build" zx_display_down
}
trap cleanup EXIT

step() { "$ZX_WINE" "$stepper" "$@" | tr -d '\r'; }
# shot NAME TITLE TEXT: the window whose title starts with TITLE, once it
# shows TEXT, moved to the top-left corner on top of the others; then its
# rectangle from the screen.
shot() {
  local name=$1 title=$2 text=$3 rect x y w h
  step wait "$title" "$text" >/dev/null || { echo "screenshot-installer: no '$text' in '$title'" >&2; exit 1; }
  step move "$title" 0 0 "$text"
  rect=$(step wait "$title" "$text")
  read -r x y w h <<<"$rect"
  # The page has no event for "painted": grabbed once the screen holds still.
  zx_grab "$out/$name$suffix.png" "$w" "$h" "$x" "$y"
  echo "screenshot: $out/$name$suffix.png (${w}x${h})"
}

"$ZX_WINE" "$setup" >"$work/setup.out" 2>&1 &
setup_pid=$!
shot installer-welcome "ZxVCam" "Welcome to"
step click "ZxVCam" 1
shot installer-folder "ZxVCam" "Destination Folder"
step click "ZxVCam" 1
shot installer-installing "ZxVCam" "Completed"
step click "ZxVCam" 1
shot installer-finish "ZxVCam" "Completing"
# Finish without starting the program: the camera starts it below.
step tick "ZxVCam" "Start ZxVCam" off
step click "ZxVCam" 1
wait "$setup_pid" || true

inst_win='C:\Program Files\ZxVCam'
"$ZX_WINE" "$inst_win\\ZxCamCheck.exe" >"$work/check.out" 2>&1 &
check_pid=$!
step wait "ZxVCam camera check" "the camera started it" >/dev/null
shot camera-check "ZxVCam camera check" "the camera started it"
step close "ZxVCam camera check"
wait "$check_pid" || true

"$ZX_WINE" "$inst_win\\Uninstall.exe" >"$work/uninstall.out" 2>&1 &
step wait "ZxVCam" "Uninstalling from" >/dev/null
step click "ZxVCam" 1
shot uninstaller "ZxVCam" "unless you tick the box"
step click "ZxVCam" 2
step closed "ZxVCam" || true
