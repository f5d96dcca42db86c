#!/usr/bin/env bash
# The installer as users get it, in a fresh Wine prefix under the build
# tree (BUILD_DIR/installtest): an older version installed silently, then
# this build's installer silently over it (the upgrade), then the checks,
# then the silent uninstall.
#   - the files are where they belong, the camera is listed for 64-bit
#     clients (and 32-bit ones where this machine runs 32-bit code), the
#     launch folder "Path" names the install folder;
#   - the installed check tool, with the program closed, reports it not
#     running, then started by the camera, and the program's picture;
#   - the upgrade keeps the settings and lists and leaves one entry in the
#     list of installed programs, with the new version;
#   - uninstalling removes the registration, the files and the value and
#     keeps the settings, the lists and a recording.
# Usage: installer-test.sh BUILD_DIR
set -euo pipefail
build=$(readlink -m "$1")
here=$(dirname "$(readlink -f "$0")")
root=$(dirname "$(dirname "$here")")
setup="$build/package/ZxVCamSetup.exe"
stage="$build/package/stage/ZxVCam"
[ -f "$setup" ] || { echo "installer-test: $setup is not built"; exit 1; }

work="$build/installtest"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# The display of the test run's harness, or one of our own.
display=""
[ -s "$build/harness/display" ] && display=$(cat "$build/harness/display")
own_xvfb=""
cleanup() {
  [ -n "${WINESERVER:-}" ] && "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$own_xvfb" ] && kill "$own_xvfb" >/dev/null 2>&1 || true
}
trap cleanup EXIT
if [ -z "$display" ]; then
  rm -f "$work.display"
  mkdir -p "$(dirname "$work")"
  setsid Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp 8>"$work.display" </dev/null >/dev/null 2>&1 &
  own_xvfb=$!
  for _ in $(seq 100); do [ -s "$work.display" ] && break; sleep 0.05; done
  display=$(tr -d '\n' < "$work.display")
fi

# A fresh prefix of our own (its own wineserver), with the harness's fonts
# and sound set-up.
rm -rf "$work"
mkdir -p "$work"
"$root/scripts/wine-prefix.sh" "$work" >/dev/null
ZX_HARNESS="$work"
source "$root/scripts/wine-env.sh"
export DISPLAY=":$display"
export WINEDEBUG=-all
wine() { "$ZX_WINE" "$@"; }
# Waits until every program of the prefix has ended (an uninstaller hands
# over to a copy of itself in the temporary folder and returns at once).
settle() { "$WINESERVER" -w; }

drive_c="$WINEPREFIX/drive_c"
instdir="$drive_c/Program Files/ZxVCam"
inst_win='C:\Program Files\ZxVCam'
appdata_win=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
appdata=$(wine winepath -u "$appdata_win" 2>/dev/null | tr -d '\r')
appdata=${appdata%/}

# "wine reg" is the 32-bit reg.exe where the prefix has both, so the 64-bit
# view is asked for by name.
reg_value() {  # KEY VALUE [/reg:32]: the value's data, or nothing
  { wine reg query "$1" /v "$2" ${3:-/reg:64} 2>/dev/null || true; } | tr -d '\r' |
    awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# --- an older version ---------------------------------------------------------
echo "== the previous version, silently"
( cd "$root/installer" && LC_ALL=C.UTF-8 makensis -V1 -DVERSION=0.9.0 -DSTAGE="$stage" -DOUTFILE="$work/ZxVCamSetup-0.9.0.exe" \
    $( [ -f "$stage/DumpReport.exe" ] && echo -DHAVE_DUMPREPORT ) ZxVCamSetup.nsi )
wine "$work/ZxVCamSetup-0.9.0.exe" /S
settle
[ "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' DisplayVersion)" = 0.9.0 ] \
  && pass "0.9.0 installed" || fail "0.9.0 not in the list of installed programs"

# The user's settings, lists and a recording, as the program keeps them.
mkdir -p "$appdata/ZxVCam/Record/Dat" "$drive_c/ZxVRecord/Video"
printf '[VSRecord]\r\nVideoDir=C:\\ZxVRecord\\Video\\\r\n[SetupBasic]\r\nTestMark=kept\r\n' > "$appdata/ZxVCam/ZxVCam.ini"
head -c 4096 /dev/urandom > "$drive_c/ZxVRecord/Video/0101_1200000000.flv"
# The record list: "ver1.0", the count and each path with its length
# (32-bit little-endian).
/usr/bin/python3 - "$appdata/ZxVCam/Record/Dat/VideoList.dat" "$appdata/ZxVCam/MediaFileList.dat" <<'PY'
import struct, sys
path = b"C:\\ZxVRecord\\Video\\0101_1200000000.flv"
open(sys.argv[1], "wb").write(b"ver1.0" + struct.pack("<I", 1) + struct.pack("<I", len(path)) + path)
open(sys.argv[2], "wb").write(b"ver1.0")
PY
ini_sum=$(md5sum < "$appdata/ZxVCam/ZxVCam.ini")
list_sum=$(md5sum < "$appdata/ZxVCam/Record/Dat/VideoList.dat")

# --- this build over it -----------------------------------------------------------
echo "== this build over it, silently"
wine "$setup" /S
settle
version=$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' DisplayVersion)
[ -n "$version" ] && [ "$version" != 0.9.0 ] && pass "upgraded to $version" || fail "the upgrade left version '$version'"
entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:64 2>/dev/null | tr -d '\r' | grep -ci '\\ZxVCam$' || true)
[ "$entries" = 1 ] && pass "one entry in the list of installed programs" || fail "$entries entries in the list of installed programs"
[ "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' Publisher)" != "" ] \
  && pass "the entry names a publisher" || fail "no publisher"
[ "$(md5sum < "$appdata/ZxVCam/ZxVCam.ini")" = "$ini_sum" ] && pass "the upgrade kept the settings" || fail "the upgrade changed the settings"
[ "$(md5sum < "$appdata/ZxVCam/Record/Dat/VideoList.dat")" = "$list_sum" ] && [ -f "$appdata/ZxVCam/MediaFileList.dat" ] \
  && pass "the upgrade kept the lists" || fail "the upgrade lost the lists"

# --- the files, the registration, the value --------------------------------------
echo "== what is installed"
for f in ZxVCam.exe ZxVKernal.dll ZxMusicCore.dll ZxModConfig.dll ZxLog.dll LibStream.dll LibWaveOut.dll \
         ZxCamSrc.dll ZxCamCheck.exe ZxCamMF.dll ZxCamMFReg.exe default.jpg Logo.png README.txt Uninstall.exe \
         x86/ZxCamSrc.dll x86/ZxCamCheck.exe skin wav filter pendant; do
  [ -e "$instdir/$f" ] || fail "$f is not installed"
done
[ -f "$stage/DumpReport.exe" ] && { [ -f "$instdir/DumpReport.exe" ] || fail "DumpReport.exe is not installed"; }
for d in filter pendant skin wav; do
  n_src=$(find "$stage/$d" -type f | wc -l); n_dst=$(find "$instdir/$d" -type f | wc -l)
  [ "$n_src" = "$n_dst" ] || fail "$d: $n_dst of $n_src files installed"
done
[ "$failures" = 0 ] && pass "every file in place"
startmenu=$(find "$drive_c/users" -path '*Start Menu/Programs/ZxVCam/*.lnk' | wc -l)
desktop=$(find "$drive_c/users" -ipath '*Desktop/ZxVCam.lnk' | wc -l)
[ "$startmenu" = 4 ] && [ "$desktop" = 1 ] && pass "shortcuts" || fail "$startmenu Start-menu and $desktop desktop shortcuts"
mf_model=$(reg_value 'HKLM\SOFTWARE\Classes\CLSID\{DADBD189-16A5-4450-986F-92BF9FAD0262}\InprocServer32' ThreadingModel)
[ "$mf_model" = Both ] && pass "the Media Foundation camera is registered for the machine" \
  || fail "the Media Foundation camera's class is not registered (threading model '$mf_model')"
path_value=$(reg_value 'HKCU\SOFTWARE\orbian\ZXVCAM' Path)
[ "$path_value" = "$inst_win" ] && pass "Path = $path_value" || fail "Path is '$path_value', not '$inst_win'"

# --- the check tool, with the program closed -------------------------------------
echo "== the check tool (64-bit), the program closed"
out="$work/check64.txt"
set +e
# Into a file, never a pipe: the program the camera starts inherits the
# Unix side of the check's output under Wine and would hold a pipe open.
wine "$inst_win\\ZxCamCheck.exe" --frames 20 --timeout 60 --save 'C:\check64.bmp' > "$out.raw" 2>&1
rc=$?
tr -d '\r' < "$out.raw" > "$out"
set -e
grep -v '^format:' "$out" | sed 's/^/  /'
grep -qx 'camera: ZXVCam found' "$out" && pass "64-bit clients list the camera" || fail "64-bit clients do not list the camera"
grep -qx 'device-path: @device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\{69FB58B5-10C3-4597-8320-5F2DFC0A6A0B}' "$out" \
  && pass "the device has its own DevicePath" || fail "no DevicePath"
first=$(grep -n '^program: not running' "$out" | head -1 | cut -d: -f1)
started=$(grep -n '^program: started after' "$out" | head -1 | cut -d: -f1)
[ -n "$first" ] && [ -n "$started" ] && [ "$first" -lt "$started" ] \
  && pass "not running, then started by the camera" || fail "the check did not see the program start"
[ "$rc" = 0 ] && grep -qx 'result: ok' "$out" && pass "the program's picture arrived" || fail "check exit $rc"

if [ "$ZX_WIN32_OK" = 1 ]; then
  echo "== the check tool (32-bit)"
  out32="$work/check32.txt"
  set +e
  wine "$inst_win\\x86\\ZxCamCheck.exe" --frames 20 --timeout 60 > "$out32.raw" 2>&1
  rc=$?
  tr -d '\r' < "$out32.raw" > "$out32"
  set -e
  grep -v '^format:' "$out32" | sed 's/^/  /'
  grep -qx 'check: ZxCamCheck 32-bit' "$out32" && grep -qx 'camera: ZXVCam found' "$out32" \
    && pass "32-bit clients list the camera" || fail "32-bit clients do not list the camera"
  [ "$rc" = 0 ] && pass "32-bit client got the picture" || fail "32-bit check exit $rc"
else
  echo "skipped: the 32-bit client (this machine runs no 32-bit code)"
fi

# --- uninstall ----------------------------------------------------------------------
echo "== uninstall, silently (the program still running)"
wine "$inst_win\\Uninstall.exe" /S
settle
remaining=$( { find "$instdir" -type f 2>/dev/null || true; } | wc -l)
[ ! -e "$instdir" ] && pass "the install folder is gone" || fail "$remaining files left in the install folder"
[ -z "$(reg_value 'HKCU\SOFTWARE\orbian\ZXVCAM' Path)" ] && pass "the Path value is gone" || fail "the Path value is left"
if wine reg query 'HKCR\CLSID\{69FB58B5-10C3-4597-8320-5F2DFC0A6A0B}' /reg:64 >/dev/null 2>&1 ||
   wine reg query 'HKCR\CLSID\{69FB58B5-10C3-4597-8320-5F2DFC0A6A0B}' /reg:32 >/dev/null 2>&1; then
  fail "the filter's class is still registered"
else
  pass "the filter's class is gone"
fi
[ -z "$(reg_value 'HKLM\SOFTWARE\Classes\CLSID\{DADBD189-16A5-4450-986F-92BF9FAD0262}\InprocServer32' ThreadingModel)" ] \
  && pass "the Media Foundation camera's class is gone" || fail "the Media Foundation camera's class is left"

set +e
wine "$(zx_winpath "$build/bin/ZxCamCheck.exe")" --list > "$work/after.txt" 2>&1
rc=$?
set -e
[ "$rc" = 2 ] && pass "64-bit clients no longer list the camera" || fail "after uninstalling, check --list exit $rc"
if [ "$ZX_WIN32_OK" = 1 ] && [ -f "$build/x86/bin/ZxCamCheck.exe" ]; then
  set +e
  wine "$(zx_winpath "$build/x86/bin/ZxCamCheck.exe")" --list > "$work/after32.txt" 2>&1
  rc=$?
  set -e
  [ "$rc" = 2 ] && pass "32-bit clients no longer list the camera" || fail "after uninstalling, 32-bit check --list exit $rc"
fi
[ -z "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' DisplayName)" ] \
  && pass "the entry in the list of installed programs is gone" || fail "the uninstall entry is left"
[ "$( { find "$drive_c/users" -path '*ZxVCam*.lnk' || true; } | wc -l)" = 0 ] && pass "the shortcuts are gone" || fail "shortcuts left"
[ -f "$drive_c/ZxVRecord/Video/0101_1200000000.flv" ] && pass "the recording is kept" || fail "the recording is gone"
[ -f "$appdata/ZxVCam/ZxVCam.ini" ] && [ -f "$appdata/ZxVCam/Record/Dat/VideoList.dat" ] \
  && pass "the settings and lists are kept" || fail "the settings or lists are gone"

echo "installer: $(stat -c %s "$setup") bytes"
if [ "$failures" != 0 ]; then
  echo "installer-test: $failures failures"
  exit 1
fi
echo "installer-test: all passed"
