#!/usr/bin/env bash
# The installer as users get it, in a fresh Wine prefix under the build
# tree (BUILD_DIR/installtest): an older version installed silently, then
# this build's installer silently over it (the upgrade, with /RUN as the
# finish page's "Start ZxVCam now"), then the checks, then the silent
# uninstall. A video program holds the camera during the upgrade and the
# uninstall.
#   - the files are where they belong, the camera is listed for 64-bit
#     clients (and 32-bit ones where this machine runs 32-bit code), the
#     launch folder "Path" names the install folder for the user and
#     machine-wide in both registry views, the shortcuts are for all users;
#   - the program the installer starts is started by the desktop shell (its
#     parent is explorer.exe), not by the elevated installer;
#   - the camera module held by a running client is renamed aside and
#     deleted at the next restart (wineboot -r here), the new one is in
#     place and registered at once, and the camera works after the restart;
#     uninstalling with the module held unregisters the camera at once and
#     removes the module at the restart;
#   - the installed check tool, with the program closed, reports it not
#     running, then started by the camera, and the program's picture;
#   - the upgrade keeps the settings and lists and leaves one entry in the
#     list of installed programs, with the new version;
#   - uninstalling removes the registration, the files, the value and the
#     user's start-with-Windows entry and keeps the settings, the lists and
#     a recording.
# Usage: installer-test.sh BUILD_DIR
set -euo pipefail
build=$(readlink -m "$1")
here=$(dirname "$(readlink -f "$0")")
root=$(dirname "$(dirname "$here")")
setup="$build/package/ZxVCamSetup.exe"
stage="$build/package/stage/ZxVCam"
[ -f "$setup" ] || { echo "installer-test: $setup is not built"; exit 1; }
# The camera client that holds the camera, and the tool that stops it.
client_exe="$build/bin/ZxVCamClient.exe"
procstat_exe="$build/bin/ZxProcStat.exe"
for f in "$client_exe" "$procstat_exe"; do [ -f "$f" ] || { echo "installer-test: $f is not built"; exit 1; }; done

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
localappdata_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
localappdata=$(wine winepath -u "$localappdata_win" 2>/dev/null | tr -d '\r')
localappdata=${localappdata%/}

# "wine reg" is the 32-bit reg.exe where the prefix has both, so the 64-bit
# view is asked for by name.
reg_value() {  # KEY VALUE [/reg:32]: the value's data, or nothing
  { wine reg query "$1" /v "$2" ${3:-/reg:64} 2>/dev/null || true; } | tr -d '\r' |
    awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# The processes of the prefix: name, parent and process id, one a line.
processes() {
  { wine wmic process get Name,ParentProcessId,ProcessId 2>/dev/null || true; } | iconv -f UTF-16 -t UTF-8 2>/dev/null |
    tr -d '\r' | awk 'NR > 1 && NF == 3 { print $1, $2, $3 }'
}
# Waits (a hang guard only) until a process of that name runs, or with
# "gone" until none does.
wait_process() {  # NAME [gone]
  for _ in $(seq 120); do
    if processes | awk -v n="$1" 'tolower($1) == tolower(n) { found = 1 } END { exit !found }'; then
      [ "${2:-}" = gone ] || return 0
    else
      [ "${2:-}" = gone ] && return 0
    fi
    sleep 0.5
  done
  return 1
}
# A video program with the camera open, in a process of its own, until its
# stop event is set: it holds the installed camera module.
hold_pid=""
hold_camera() {  # NAME
  wine "$(zx_winpath "$client_exe")" --soak "$(zx_winpath "$work/$1.samples")" --stop-event "$1" > "$work/$1.txt" 2>&1 &
  hold_pid=$!
  for _ in $(seq 600); do
    grep -q 'samples' "$work/$1.txt" 2>/dev/null && return 0
    kill -0 "$hold_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
release_camera() {  # NAME
  wine "$(zx_winpath "$procstat_exe")" signal "$1" >/dev/null 2>&1 || true
  wait "$hold_pid" 2>/dev/null || true
}
pending_renames() {
  { wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations /reg:64 2>/dev/null || true; } |
    tr -d '\r'
}
clsid='{69FB58B5-10C3-4597-8320-5F2DFC0A6A0B}'
registered_module() {  # /reg:64 or /reg:32: the file the camera's class names
  { wine reg query "HKCR\\CLSID\\${clsid}\\InprocServer32" /ve "$1" 2>/dev/null || true; } | tr -d '\r' |
    awk '/REG_SZ/ { sub(/^.*REG_SZ[ \t]+/, ""); print }'
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
# The camera starts the program while the upgrade runs; it keeps a
# recording in its list only with a thumbnail (the file here is no real
# video), so the recording gets one in the thumbnail cache, named by the MD5
# text of its path.
/usr/bin/python3 - "$appdata/ZxVCam/Record/Dat/VideoList.dat" "$appdata/ZxVCam/MediaFileList.dat" \
    "$localappdata/ZxVCam/Cache/RecordThumbnailVideo" <<'PY'
import hashlib, os, struct, sys
path = b"C:\\ZxVRecord\\Video\\0101_1200000000.flv"
open(sys.argv[1], "wb").write(b"ver1.0" + struct.pack("<I", 1) + struct.pack("<I", len(path)) + path)
open(sys.argv[2], "wb").write(b"ver1.0")
os.makedirs(sys.argv[3], exist_ok=True)
open(os.path.join(sys.argv[3], hashlib.md5(path).hexdigest() + ".bmp"), "wb").write(b"BM")
PY
ini_before=$(tr -d '\r' < "$appdata/ZxVCam/ZxVCam.ini")
list_sum=$(md5sum < "$appdata/ZxVCam/Record/Dat/VideoList.dat")

# --- this build over it, the camera held by a video program -----------------------
echo "== this build over it, silently, while a video program holds the camera"
hold_camera ZxInstallHold1 && pass "a video program holds the camera" || fail "the camera client did not start: $(cat "$work/ZxInstallHold1.txt")"
set +e
wine "$setup" /S /RUN
rc=$?
set -e
[ "$rc" = 0 ] && pass "the upgrade succeeded with the module held" || fail "the upgrade exit $rc"
cmp -s "$instdir/ZxCamSrc.dll" "$stage/ZxCamSrc.dll" && pass "the new camera module is in place" \
  || fail "the camera module was not replaced"
aside=$(cd "$instdir" && ls ZxCamSrc.dll.old* 2>/dev/null | head -1 || true)
[ -n "$aside" ] && pending_renames | grep -qF "ZxVCam\\$aside" \
  && pass "the held module is set aside as $aside, deleted at the restart" || fail "no held module set aside ('$aside')"
[ "$(registered_module /reg:64)" = "$inst_win\ZxCamSrc.dll" ] && pass "the camera is registered with the new module" \
  || fail "the camera's module is '$(registered_module /reg:64)'"

# "Start ZxVCam now": started by the shell, with the user's rights.
if wait_process ZxVCam.exe; then
  explorer_pid=$(processes | awk 'tolower($1) == "explorer.exe" { print $3 }' | head -1)
  parent=$(processes | awk 'tolower($1) == "zxvcam.exe" { print $2 }' | head -1)
  [ -n "$parent" ] && [ "$parent" = "$explorer_pid" ] && pass "the program was started by the shell (explorer.exe, $parent)" \
    || fail "the program's parent is $parent, the shell is $explorer_pid"
else
  fail "the installer did not start the program"
fi

# The video program ends, and the machine restarts.
release_camera ZxInstallHold1
# Ended by its process id: the 32-bit taskkill "wine" finds cannot see the
# names of 64-bit processes.
for pid in $(processes | awk 'tolower($1) == "zxvcam.exe" { print $3 }'); do
  wine "$(zx_winpath "$procstat_exe")" kill "$pid" >/dev/null 2>&1 || true
done
wait_process ZxVCam.exe gone || fail "the program did not end"
wine wineboot -r >/dev/null 2>&1
[ ! -e "$instdir/$aside" ] && ! pending_renames | grep -qF ZxCamSrc && pass "the restart removed the old module" \
  || fail "the old module is left after the restart"
version=$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' DisplayVersion)
[ -n "$version" ] && [ "$version" != 0.9.0 ] && pass "upgraded to $version" || fail "the upgrade left version '$version'"
entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:64 2>/dev/null | tr -d '\r' | grep -ci '\\ZxVCam$' || true)
[ "$entries" = 1 ] && pass "one entry in the list of installed programs" || fail "$entries entries in the list of installed programs"
[ "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' Publisher)" != "" ] \
  && pass "the entry names a publisher" || fail "no publisher"
# Every setting is still there (the program may add its own).
kept=1
while IFS= read -r line; do
  tr -d '\r' < "$appdata/ZxVCam/ZxVCam.ini" | grep -qxF -- "$line" || kept=0
done <<< "$ini_before"
[ "$kept" = 1 ] && pass "the upgrade kept the settings" || fail "the upgrade changed the settings"
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
# For all users: the common Start menu and the public desktop, none in the
# installing user's own profile.
startmenu=$(find "$drive_c/ProgramData" -path '*Start Menu/Programs/ZxVCam/*.lnk' | wc -l)
desktop=$(find "$drive_c/users/Public" -ipath '*Desktop/ZxVCam.lnk' | wc -l)
own=$(find "$drive_c/users" -path "$drive_c/users/Public" -prune -o -path '*ZxVCam*.lnk' -print | wc -l)
[ "$startmenu" = 4 ] && [ "$desktop" = 1 ] && [ "$own" = 0 ] && pass "shortcuts for all users" \
  || fail "$startmenu all-users Start-menu, $desktop public desktop and $own per-user shortcuts"
mf_model=$(reg_value 'HKLM\SOFTWARE\Classes\CLSID\{DADBD189-16A5-4450-986F-92BF9FAD0262}\InprocServer32' ThreadingModel)
[ "$mf_model" = Both ] && pass "the Media Foundation camera is registered for the machine" \
  || fail "the Media Foundation camera's class is not registered (threading model '$mf_model')"
path_value=$(reg_value 'HKCU\SOFTWARE\orbian\ZXVCAM' Path)
[ "$path_value" = "$inst_win" ] && pass "Path = $path_value" || fail "Path is '$path_value', not '$inst_win'"
for view in /reg:64 /reg:32; do
  machine=$(reg_value 'HKLM\SOFTWARE\orbian\ZXVCAM' Path $view)
  [ "$machine" = "$inst_win" ] && pass "machine-wide Path ($view) = $machine" || fail "machine-wide Path ($view) is '$machine'"
done

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
echo "== uninstall, silently (the program still running, a video program holding the camera)"
hold_camera ZxInstallHold2 || fail "the camera client did not start: $(cat "$work/ZxInstallHold2.txt")"
# Start with Windows, as the setup dialog's tick leaves it.
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run_key" /v ZxVCam /d "\"$inst_win\\ZxVCam.exe\" /tray" /f >/dev/null 2>&1
[ -n "$(reg_value "$run_key" ZxVCam)" ] || fail "the Run value could not be written"
wine "$inst_win\\Uninstall.exe" /S
# It hands over to a copy of itself in the temporary folder; the camera
# client keeps running, so this waits for the uninstall entry to go and for
# that copy to end.
for _ in $(seq 240); do
  [ -z "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' DisplayName)" ] && break
  sleep 0.5
done
for _ in $(seq 240); do
  processes | awk '$1 == "Un.exe" || $1 ~ /^(Au_|Un_)/ { found = 1 } END { exit !found }' || break
  sleep 0.5
done
wine reg query "HKCR\\CLSID\\$clsid" /reg:64 >/dev/null 2>&1 && fail "held: the camera is still registered" \
  || pass "held: the camera is unregistered at once"
[ -f "$instdir/ZxCamSrc.dll" ] && pending_renames | grep -qF 'ZxVCam\ZxCamSrc.dll' \
  && pass "held: the module is removed at the restart" || fail "held: the module is neither gone nor queued"
[ "$(find "$instdir" -type f | wc -l)" = 1 ] && pass "held: everything else is gone" \
  || fail "held: $(find "$instdir" -type f | wc -l) files left"
release_camera ZxInstallHold2
wine wineboot -r >/dev/null 2>&1
settle
remaining=$( { find "$instdir" -type f 2>/dev/null || true; } | wc -l)
[ ! -e "$instdir" ] && pass "the install folder is gone" || fail "$remaining files left in the install folder"
[ -z "$(reg_value 'HKCU\SOFTWARE\orbian\ZXVCAM' Path)" ] && pass "the Path value is gone" || fail "the Path value is left"
[ -z "$(reg_value "$run_key" ZxVCam)" ] && pass "the start-with-Windows value is gone" \
  || { fail "the start-with-Windows value is left"; wine reg delete "$run_key" /v ZxVCam /f >/dev/null 2>&1 || true; }
[ -z "$(reg_value 'HKLM\SOFTWARE\orbian\ZXVCAM' Path /reg:64)" ] && [ -z "$(reg_value 'HKLM\SOFTWARE\orbian\ZXVCAM' Path /reg:32)" ] \
  && pass "the machine-wide Path values are gone" || fail "a machine-wide Path value is left"
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

# --- the other language ----------------------------------------------------------------
echo "== installed with a Chinese display language, removed with an English one"
# Wine takes the display language from the locale, and names files through
# the locale's character set: the Chinese locale is compiled into the work
# folder (LOCPATH) rather than needed on the machine, where only C.UTF-8 may
# exist (under a locale glibc lacks, Wine could not name the Chinese
# shortcuts' files at all).
locales="$work/locale"
[ -d "$locales/zh_CN.UTF-8" ] || { mkdir -p "$locales" && localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" >/dev/null 2>&1; } \
  || fail "the Chinese locale could not be compiled"
LOCPATH="$locales" LC_ALL=zh_CN.UTF-8 wine "$setup" /S
settle
menu=$( { find "$drive_c/ProgramData" -type d -path '*Start Menu/Programs/ZxVCam' || true; } | head -n1)
missing=0
for link in "ZxVCam.lnk" "检查摄像头.lnk" "检查摄像头 (32 位).lnk" "卸载 ZxVCam.lnk"; do
  [ -n "$menu" ] && [ -f "$menu/$link" ] || { missing=1; fail "no Start-menu entry '$link' in Chinese"; }
done
[ "$missing" = 0 ] && pass "the Start-menu entries are in Chinese"
LC_ALL=C.UTF-8 wine "$inst_win\\Uninstall.exe" /S
for _ in $(seq 240); do
  [ -z "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZxVCam' DisplayName)" ] && break
  sleep 0.5
done
settle
[ "$( { find "$drive_c" -path '*Start Menu/Programs/ZxVCam*' || true; } | wc -l)" = 0 ] \
  && pass "the Chinese entries are gone after an uninstall in English" || fail "Start-menu entries left"

echo "installer: $(stat -c %s "$setup") bytes"
if [ "$failures" != 0 ]; then
  echo "installer-test: $failures failures"
  exit 1
fi
echo "installer-test: all passed"
