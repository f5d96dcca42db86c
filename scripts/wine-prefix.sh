#!/usr/bin/env bash
# Creates the Wine prefix of a build folder once: fonts that resolve the
# names the program asks for, the ALSA null device, and nothing interactive.
# Usage: wine-prefix.sh BUILD_DIR
set -euo pipefail
ZX_HARNESS=$(readlink -m "$1")
here=$(dirname "$(readlink -f "$0")")
mkdir -p "$ZX_HARNESS/harness"
printf 'pcm.!default { type null }\n' > "$ZX_HARNESS/harness/alsa.conf"
source "$here/wine-env.sh"

PREFIX_VERSION=4
stamp="$WINEPREFIX/.zx-prefix-$PREFIX_VERSION"
exec 9>"$ZX_HARNESS/harness/prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0

echo "wine-prefix: creating $WINEPREFIX"
rm -rf "$WINEPREFIX"
"$ZX_WINE" wineboot -i >"$ZX_HARNESS/harness/wineboot.log" 2>&1
# Wine links the user's Desktop, Documents, Pictures and the like to the
# Unix home folder; a test (or an installer's desktop shortcut) would then
# write outside the build tree. Plain folders inside the prefix instead.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm -f "$link"
    mkdir -p "$link"
  fi
done
# Wine draws the caption buttons, check marks and arrows of standard windows
# with Marlett; the copy in its data folder (fonts-wine) is not found by
# Wine 8 here, one in the prefix's Fonts folder is.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# GDI+ draws no text at all unless the faces the program names resolve.
for face in "宋体" "SimSun" "微软雅黑" "Microsoft YaHei" "Tahoma" "新宋体" "NSimSun" "Times New Roman"; do
  "$ZX_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
"$ZX_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d alsa /f >/dev/null 2>&1
# DirectDraw in a window: with Wine's OpenGL renderer on the virtual display
# (llvmpipe) a blit to the primary surface goes to a hidden window Wine
# makes for the device, so the preview never reaches the screen; the GDI
# renderer blits to the screen as Windows does.
"$ZX_WINE" reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ /d gdi /f >/dev/null 2>&1
# A test program that crashes must end rather than wait in Wine's crash
# dialog on the virtual display until the test's time runs out.
"$ZX_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Windows of tests must not wait on a window manager that is not there.
"$ZX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
"$WINESERVER" -w
touch "$stamp"
echo "wine-prefix: ready"
